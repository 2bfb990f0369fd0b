// The oscilloscope library as the calibration sees it: the few operations
// that set the instrument up and read its measurements, behind one small
// interface so that the procedure runs against a scripted double in tests.
// The default implementation forwards every call to the exported dso*
// functions of QMKHardDll.
//
// Results are the library's numbers as they cross its C interface: the
// length of the accepted reply frame (or 1 for the field setters), 0 on
// failure. The calibration does not act on them: an oscilloscope that does
// not answer leaves the measurement at its fallback values.
#pragma once

#include <cstdint>

namespace zorbel {

class OscilloscopeApi {
public:
    virtual ~OscilloscopeApi() = default;

    // Tables and the parameter image.
    virtual std::uint16_t ResetAllBufferValue() = 0;
    virtual std::uint16_t ReadInfProtocol() = 0;
    virtual std::uint16_t ReadInfKeyProtocol() = 0;
    virtual std::uint16_t ReadAllSysParameter(std::uint8_t* buffer, std::uint32_t size) = 0;
    virtual std::uint16_t WriteAllSysParameter() = 0;
    // item 1..8, source 0 (CH1) or 1 (CH2), the instrument's measurement type.
    virtual std::int32_t SetMeasurementItem(std::uint16_t item, std::uint16_t source, std::uint16_t type) = 0;
    virtual std::uint16_t SetKeyStringToConytolValue(const char* key, const std::uint8_t* value, std::int32_t keyLength,
                                                     std::int32_t valueLength) = 0;

    // Instrument operations.
    virtual std::uint16_t AutosetDevice() = 0;
    // The value text of `item` on `source` with its unit ("1.234mV"); not
    // terminated: clear the buffer first.
    virtual std::uint16_t GetMeasurementItemValue(char* buffer, std::uint32_t size, std::uint16_t source,
                                                  std::uint16_t item) = 0;
};

// The real oscilloscope library (process-wide; lives as long as the program).
OscilloscopeApi& LibraryOscilloscope();

}  // namespace zorbel
