// OscilloscopeApi over the exported functions of QMKHardDll.
#include "QMKHardDll.h"
#include "zorbel/model/oscilloscope_api.h"

namespace zorbel {
namespace {

class Library final : public OscilloscopeApi {
public:
    std::uint16_t ResetAllBufferValue() override { return dsoResetAllBufferValue(); }
    std::uint16_t ReadInfProtocol() override { return dsoReadInfProtocol(); }
    std::uint16_t ReadInfKeyProtocol() override { return dsoReadInfKeyProtocol(); }
    std::uint16_t ReadAllSysParameter(std::uint8_t* buffer, std::uint32_t size) override {
        return dsoReadAllSysParameter(buffer, size);
    }
    std::uint16_t WriteAllSysParameter() override { return dsoWriteAllSysParameter(); }
    std::int32_t SetMeasurementItem(std::uint16_t item, std::uint16_t source, std::uint16_t type) override {
        return dsoSetMeasurementItem(item, source, type);
    }
    std::uint16_t SetKeyStringToConytolValue(const char* key, const std::uint8_t* value, std::int32_t keyLength,
                                             std::int32_t valueLength) override {
        return dsoSetKeyStringToConytolValue(key, value, keyLength, valueLength);
    }
    std::uint16_t AutosetDevice() override { return dsoAutosetDevice(); }
    std::uint16_t GetMeasurementItemValue(char* buffer, std::uint32_t size, std::uint16_t source,
                                          std::uint16_t item) override {
        return dsoGetMeasurementItemValue(buffer, size, source, item);
    }
};

}  // namespace

OscilloscopeApi& LibraryOscilloscope() {
    static Library library;
    return library;
}

}  // namespace zorbel
