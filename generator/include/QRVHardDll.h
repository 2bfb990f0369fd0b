/*
 * QRVHardDll: the two-channel DDS signal generator over USB or LAN.
 *
 * Every function is one instrument operation (or a pure computation) with a
 * plain C interface. Status results (uint16_t) mean:
 *   0 link not available, 1 exchange failed, 2 success,
 *   3 argument rejected or answer not acceptable.
 * Channels are 0 (first output) and 1; commands carry channel + 1.
 * Square duty, ramp symmetry and pulse duty are fractions (0.5 = 50 %).
 * An output argument is written only when the status is 2 unless a function
 * says otherwise. Exchanges must not overlap: call from one thread at a time
 * (the pure computations excepted). All buffers belong to the caller.
 */
#ifndef QRVHARDDLL_H
#define QRVHARDDLL_H

#include <stdint.h>

#if defined(QRVHARDDLL_BUILD)
#define QRV_API __attribute__((visibility("default")))
#else
#define QRV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Link --------------------------------------------------------------- */

/* type 0 selects USB, any other LAN; address is IPv4 with the first octet in
 * the most significant byte. Re-opens the UDP socket whatever the type. Always 1. */
QRV_API uint16_t qmkHDInitComType(uint16_t type, uint32_t address);
/* 1 when the selected link is available (LAN: socket open, no traffic), else 0. */
QRV_API uint16_t qmkHDDeviceConnect(void);
/* Sends "DISPlay:REFResh": 2 sent, 1 failed, 0 no link. */
QRV_API uint16_t qmkHDRefreshDevice(void);

/* ---- Channel settings --------------------------------------------------- */

QRV_API uint16_t qmkHDWriteChannelOnOff(uint16_t channel, uint16_t state);
QRV_API uint16_t qmkHDReadChannelOnOff(uint16_t channel, int16_t* state);
/* Wave type codes: 1 sine, 2 square, 3 ramp, 4 pulse, 5 noise, 6 arbitrary, 7 harmonic. */
QRV_API uint16_t qmkHDWriteChannelWaveType(uint16_t channel, uint16_t waveType);
QRV_API uint16_t qmkHDReadChannelWaveType(uint16_t channel, int16_t* waveType);

/* Numeric writes: value, maximum, minimum in volts (peak to peak / offset),
 * hertz, degrees, seconds or fractions. Success only when the instrument
 * repeats the value sent. */
QRV_API uint16_t qmkHDWriteChannelAmplitude(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelFrequency(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelOffsetVoltage(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelInitPhase(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelSquareDuty(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelRampSymmetry(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelPulseDuty(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelPulseWidth(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelPulseLeading(uint16_t channel, double value, double maximum, double minimum);
QRV_API uint16_t qmkHDWriteChannelPulseTrailing(uint16_t channel, double value, double maximum, double minimum);

/* Numeric reads: the answer must lie within minimum..maximum. */
QRV_API uint16_t qmkHDReadChannelAmplitude(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelFrequency(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelOffsetVoltage(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelInitPhase(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelSquareDuty(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelRampSymmetry(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelPulseDuty(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelPulseWidth(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelPulseLeading(uint16_t channel, double* value, double maximum, double minimum);
QRV_API uint16_t qmkHDReadChannelPulseTrailing(uint16_t channel, double* value, double maximum, double minimum);

/* 1 and the value when text is a number by the instrument's number rules
 * (optional sign, digits, at most one inner '.', optional E exponent), else 0
 * and *value unchanged. length is not used. */
QRV_API uint16_t qmkHDTurnStringIntoDouble(double* value, const char* text, int32_t length);

/* ---- Parameter ranges --------------------------------------------------- */

/* The instrument's maximum and minimum for a quantity on a channel. The
 * maximum is stored as soon as it is read, even if the minimum then fails. */
QRV_API uint16_t qmkHDReadChannelAmplitudeStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelFrequencyStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelOffsetVoltageStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelInitPhaseStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelSquareDutyStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelRampSymmetryStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelPulseDutyStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelPulseWidthStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelPulseLeadingStandard(uint16_t channel, double* maximum, double* minimum);
QRV_API uint16_t qmkHDReadChannelPulseTrailingStandard(uint16_t channel, double* maximum, double* minimum);

/* ---- Arbitrary waveform ------------------------------------------------- */

/* One sample-clock candidate. Sample clock: 250 MHz for divider 0, else
 * 250 MHz / (4 x divider); points per period are multiples of 16. */
typedef struct ArbitraryControl {
    int16_t divider;           /* sample clock divider, 0..250 */
    double requestedFrequency; /* Hz */
    double resultingFrequency; /* clock / points, Hz (+inf for 0 points) */
    uint32_t points;           /* points per period */
    double error;              /* resulting / requested - 1 */
} ArbitraryControl;

/* Pure computations: no instrument traffic, no heap, safe on any thread.
 * The candidate table holds, per divider 0..249, the multiple of 16 points at
 * or below clock/frequency and (unless exact) the next one up, until capacity
 * is reached; candidates whose points would not fit 32 bits are left out.
 * Result 1, or 0 (outputs untouched) when frequency is not above 0, a pointer
 * is missing or capacity is 0. */
QRV_API uint16_t qmkHDGetWholeArbitraryControlFromFreq(ArbitraryControl* table, uint32_t capacity, uint32_t* count,
                                                       double frequency);
/* The highest sample clock whose points fit minimumPoints..maximumPoints (the
 * fewest points when none does), then the closer of that clock's two point
 * counts. 0 (output untouched) also when no candidate exists at all. */
QRV_API uint16_t qmkHDGetBestArbitraryControlFromFreq(ArbitraryControl* best, double frequency, uint32_t minimumPoints,
                                                      uint32_t maximumPoints);
/* clock(divider) / points, Hz (+inf for 0 points); 0 when divider > 250. */
QRV_API uint16_t qmkHDGetArbFrequency(double* frequency, uint32_t points, uint16_t divider);
/* Gain code 1, 4 or 20 (full scale +-0.625 V x gain) for the samples' extremes, volts. */
QRV_API uint16_t qmkHDGetZoomFromData(double maximum, double minimum);

/* Gain code 1, 4 or 20, else 3 without traffic. Sent without answer: 2 once sent. */
QRV_API uint16_t qmkHDWriteArbitraryZoomValue(uint16_t channel, uint16_t gain);
/* Divider 0..250 (else 3); 2 only when the instrument repeats it. */
QRV_API uint16_t qmkHDWriteArbitrarySampleRateDiv(uint16_t channel, uint16_t divider);
/* Stores the answer truncated when it is a number from 0 to 250. */
QRV_API uint16_t qmkHDReadArbitrarySampleRateDiv(uint16_t channel, int16_t* divider);
/* Download window in waveform memory, points; address + length <= 2^26 (else 3). */
QRV_API uint16_t qmkHDWriteArbitraryAddressAndLength(uint16_t channel, uint32_t address, uint32_t length);
/* Downloads count points of a waveform of `points` samples (volts), from
 * `first` on, in packets of at most 960 points (one packet even for 0 points).
 * Samples beyond the gain's full scale are sent as +-32767. Rejected with 3
 * and no traffic: gain not 1/4/20, points > 2^26, first or count > points,
 * first + count > 2^26, data missing while points are to be sent. A count
 * reaching past the waveform's end is cut to it. Status of the last packet
 * sent; packets sent before a failure stay in the instrument. */
QRV_API uint16_t qmkHDWriteArbitraryData(uint16_t channel, const double* data, uint32_t points, uint32_t first,
                                         uint32_t count, uint16_t gain);
/* Output window in waveform memory, points; address + length <= 2^26 (else 3). */
QRV_API uint16_t qmkHDWriteDeviceArbitraryOutput(uint16_t channel, uint32_t address, uint32_t length);

/* ---- Calibration -------------------------------------------------------- */

QRV_API uint16_t qmkHDCSelectCalibrateChannel(uint16_t channel);
QRV_API uint16_t qmkHDCReadCalibrateStepTotalNum(int16_t* steps);
QRV_API uint16_t qmkHDCSetCalibrateCurStep(uint16_t step, int16_t* result);
QRV_API uint16_t qmkHDCReadCalibrateRefValueVsCurStep(double* first, double* second);
QRV_API uint16_t qmkHDCWriteCalibrateMeasResultVsCurStep(double measured);
QRV_API uint16_t qmkHDCReadCalibrateStateVsCurStep(int16_t* state);
QRV_API uint16_t qmkHDCSaveCalibrateData(void);

/* ---- Device memory and clock -------------------------------------------- */

/* One directory entry of qmkHDMGetCatalog. Texts are always NUL-terminated
 * within their fields (longer names are cut). */
typedef struct CatalogEntry {
    int16_t kind; /* 1 directory, 2 file */
    char name[1002];
    int32_t nameLength;   /* characters in name */
    int32_t size;         /* bytes, 0 when not given */
    char directory[1000]; /* the directory text given to qmkHDMGetCatalog */
    int32_t tag;          /* the tag given to qmkHDMGetCatalog */
} CatalogEntry;

/* Paths of the directory functions get "/" appended in the caller's buffer
 * (room for two more bytes needed) and *length grows by one; *length must be
 * the path's character count, else 3 without traffic. The current directory's
 * buffer must hold 10257 bytes (the longest answer, "/" and NUL). */
QRV_API uint16_t qmkHDMGetCurrentDirectory(char* directory, uint32_t* length);
QRV_API uint16_t qmkHDMSetCurrentDirectory(char* path, uint32_t* length, int16_t* result);
QRV_API uint16_t qmkHDMCreateDirectory(char* path, uint32_t* length);
QRV_API uint16_t qmkHDMDeleteDirectory(char* path, uint32_t* length);
QRV_API uint16_t qmkHDMCopyFile(const char* source, const char* destination, uint32_t unused1, uint32_t unused2);
QRV_API uint16_t qmkHDMMoveFile(const char* source, const char* destination, uint32_t unused1, uint32_t unused2);
QRV_API uint16_t qmkHDMDeleteFile(const char* name, uint32_t unused);
QRV_API uint16_t qmkHDMLoadStateFile(const char* name, uint32_t unused);
QRV_API uint16_t qmkHDMStoreStateFile(const char* name, uint32_t unused);
QRV_API uint16_t qmkHDMDownLoadFile(const char* name, uint32_t unused, const char* piece, uint32_t total,
                                    uint32_t start, uint32_t length);
/* The whole file, read in pieces; *length gets its size even when it does not
 * fit (size + NUL must not exceed capacity, else 3). */
QRV_API uint16_t qmkHDMUpLoadFile(const char* name, uint32_t unused, char* buffer, uint32_t capacity, uint32_t* length);
/* Lists the instrument's current directory; `directory` and `tag` are copied
 * into every entry as labels. An instrument that stops sending pieces ends the
 * call with 1 after the receive time-out. */
QRV_API uint16_t qmkHDMGetCatalog(const char* directory, int32_t tag, CatalogEntry* entries, uint32_t maximumEntries,
                                  uint32_t* count);
/* Date year, month, day; time hour, minute, second. The getters store *count
 * (numbers in the answer, at most 3) whenever an answer arrived, the values
 * only with status 2. An empty current-directory answer stores length 0. */
QRV_API uint16_t qmkHDMSetDeviceSystemDate(const uint16_t* yearMonthDay, uint32_t count);
QRV_API uint16_t qmkHDMGetDeviceSystemDate(int16_t* yearMonthDay, uint32_t* count);
QRV_API uint16_t qmkHDMSetDeviceSystemTime(const uint16_t* hourMinuteSecond, uint32_t count);
QRV_API uint16_t qmkHDMGetDeviceSystemTime(int16_t* hourMinuteSecond, uint32_t* count);
/* Kept for other hosts; they do nothing and return 1. */
QRV_API uint16_t qmkHDMReadMemoryStateValidFromUser(uint32_t unused1, uint32_t unused2, uint32_t unused3,
                                                    uint32_t unused4);
QRV_API uint16_t qmkHDMDeleteMemoryStateValidFromUser(uint32_t unused1, uint32_t unused2, uint32_t unused3);

#ifdef __cplusplus
}
#endif

#endif /* QRVHARDDLL_H */
