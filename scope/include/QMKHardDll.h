/*
 * QMKHardDll: the desktop oscilloscope over its USB frame protocol.
 *
 * The library keeps one process-wide copy of the instrument's system parameter
 * block (the parameter image), the two field tables the instrument supplies
 * ("/protocol.inf" and "/keyprotocol.inf") and one sync sequence number; no
 * function takes a handle. Framed operations return the length in bytes of the
 * accepted reply frame (or 1 for the field setters) and 0 on failure: no
 * device, no accepted reply within 5000 ms, or a failed sync exchange.
 *
 * Calls block: every read from the instrument is preceded by a 100 ms pause and
 * each function pauses briefly before it returns, as the instrument expects.
 * Calls from several threads are serialised inside the library. All buffers
 * belong to the caller; a null buffer makes the call fail with 0.
 *
 * Link: the USB device whose vendor:product id is listed in QMK_USB_ID
 * ("vvvv:pppp", several separated by commas), or the virtual device named by
 * QMK_SCOPE_DEVICE=unix:PATH (a SOCK_SEQPACKET socket, used by the simulator).
 */
#ifndef QMKHARDDLL_H
#define QMKHARDDLL_H

#include <stdint.h>

#if defined(QMKHARDDLL_BUILD)
#define QMK_API __attribute__((visibility("default")))
#else
#define QMK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Raw transfers (no frame handling) ---------------------------------- */

/* One bulk write of length bytes (1..65535) on pipe 0: 1 sent, else 0. */
QMK_API uint32_t WriteData(const uint8_t* data, uint32_t length);
/* One bulk read on pipe 1 after a 100 ms pause; buffer must hold 65535 bytes.
 * Number of bytes received, 0 on failure or when nothing arrived in 1000 ms. */
QMK_API uint32_t ReadData(uint8_t* buffer);

/* ---- Tables and fields of the parameter image --------------------------- */

/* Empties both tables, clears the parameter image and picks a new sequence
 * number. Always 1. */
QMK_API uint16_t dsoResetAllBufferValue(void);
/* Download "/protocol.inf" or "/keyprotocol.inf" and append its entries to the
 * table (only dsoResetAllBufferValue empties it). Length of the table frame,
 * 0 on failure. A text without a total still reports the frame length. */
QMK_API uint16_t dsoReadInfProtocol(void);
QMK_API uint16_t dsoReadInfKeyProtocol(void);

/* Keys are the first keyLength bytes of key, compared case-sensitively with the
 * names of the protocol table; the first match wins. */

/* Size in bytes of the field, 0 when keyLength <= 0 or the key is unknown. */
QMK_API uint16_t dsoGetBytesNumberFromKeyString(const char* key, int32_t keyLength);
/* Copies the field's bytes to value and its size to *size: 1, else 0.
 * value must hold dsoGetBytesNumberFromKeyString(key) bytes (at most 65535). */
QMK_API uint16_t dsoGetConytolResultFromKeyString(const char* key, uint8_t* value, int32_t keyLength, uint32_t* size);
/* Stores valueLength bytes into the field: 1 when the key is known and
 * valueLength equals the field size, else 0 and the image unchanged. */
QMK_API uint16_t dsoSetKeyStringToConytolValue(const char* key, const uint8_t* value, int32_t keyLength,
                                               int32_t valueLength);

/* ---- Instrument operations ---------------------------------------------- */

/* Reads the parameter block into the image. buffer receives the raw reply
 * frame, cut to size bytes (65535 holds any frame). */
QMK_API uint16_t dsoReadAllSysParameter(uint8_t* buffer, uint32_t size);
/* Sends the image's block back (at most 253 data bytes; a larger block read
 * from the instrument is refused with 0 rather than sent with a wrong length). */
QMK_API uint16_t dsoWriteAllSysParameter(void);
QMK_API uint16_t dsoAutosetDevice(void);
/* value and state are the instrument's own codes, sent unchanged. */
QMK_API uint16_t dsoSetDeviceSystemRunStop(uint8_t value);
QMK_API uint16_t dsoSetKeyboardCtrlLockState(uint8_t state);
/* Value text of measurement item (1..8) on source (0 = CH1, 1 = CH2) with its
 * unit, e.g. "2.50V", "12.5kHz". At most size bytes are written and the text
 * is not terminated: clear the buffer beforehand. */
QMK_API uint16_t dsoGetMeasurementItemValue(char* buffer, uint32_t size, uint16_t source, uint16_t item);
/* Captures channel 0 or 1: signed 8-bit samples widened to int16_t; *count is
 * the number stored. samples must hold 65535 values. Length of the first
 * reply frame, 0 on failure (a channel of 2 or more fails at once). */
QMK_API uint16_t dsoGetCollectData(int16_t* samples, uint16_t* count, uint16_t channel);

/* ---- Field setters (the image only; sent by dsoWriteAllSysParameter) ---- */

/* item 1..8, source 0..1, type 0..11: sets "MEASURE-ITEM<item>-SRC" and
 * "MEASURE-ITEM<item>" (one byte each). 1 when both were stored, else 0. */
QMK_API int32_t dsoSetMeasurementItem(uint16_t item, uint16_t source, uint16_t type);
/* Low byte of value into the last byte of "HORIZ-TB" and of "HORIZ-WIN-TB".
 * unused is ignored. 1 when both were set, else 0. */
QMK_API int32_t dsoSetHerizonTimeBase(int32_t value, int32_t unused);
/* value little-endian into the first four bytes of "HORIZ-TRIGTIME" (a field
 * of at least four bytes). 1 when set, else 0. */
QMK_API int32_t dsoSetHerizonTriggerTime(int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* QMKHARDDLL_H */
