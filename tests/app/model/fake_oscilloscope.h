// A scripted stand-in for the oscilloscope library: records every call in
// order and answers measurement items with the texts the test gives.
// Thread-safe, so the worker may call it while a test inspects it.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "zorbel/model/oscilloscope_api.h"

namespace zorbel::test {

class FakeOscilloscope : public OscilloscopeApi {
public:
    // Value text per measurement item (none: the buffer stays cleared).
    void SetItemText(std::uint16_t item, std::string text) {
        std::lock_guard l(mutex_);
        texts_[item] = std::move(text);
    }
    // "Reset", "ReadInf", "ReadKeyInf", "ReadAll", "Item 1 0 1", "Key VERT-CH1-PROBE 0",
    // "WriteAll", "Autoset", "Value 3 0".
    std::vector<std::string> Calls() const {
        std::lock_guard l(mutex_);
        return calls_;
    }
    void ClearCalls() {
        std::lock_guard l(mutex_);
        calls_.clear();
    }

    std::uint16_t ResetAllBufferValue() override { return Record("Reset"); }
    std::uint16_t ReadInfProtocol() override { return Record("ReadInf"); }
    std::uint16_t ReadInfKeyProtocol() override { return Record("ReadKeyInf"); }
    std::uint16_t ReadAllSysParameter(std::uint8_t* buffer, std::uint32_t size) override {
        return buffer && size == 65535 ? Record("ReadAll") : Record("ReadAll with a wrong buffer");
    }
    std::uint16_t WriteAllSysParameter() override { return Record("WriteAll"); }
    std::int32_t SetMeasurementItem(std::uint16_t item, std::uint16_t source, std::uint16_t type) override {
        return Record("Item " + std::to_string(item) + " " + std::to_string(source) + " " + std::to_string(type));
    }
    std::uint16_t SetKeyStringToConytolValue(const char* key, const std::uint8_t* value, std::int32_t keyLength,
                                             std::int32_t valueLength) override {
        std::string call = "Key " + std::string(key, static_cast<std::size_t>(keyLength));
        for (std::int32_t i = 0; i < valueLength; ++i) call += " " + std::to_string(value[i]);
        return Record(call);
    }
    std::uint16_t AutosetDevice() override { return Record("Autoset"); }
    std::uint16_t GetMeasurementItemValue(char* buffer, std::uint32_t size, std::uint16_t source,
                                          std::uint16_t item) override {
        std::lock_guard l(mutex_);
        calls_.push_back("Value " + std::to_string(item) + " " + std::to_string(source));
        const auto found = texts_.find(item);
        if (found == texts_.end()) return 0;
        std::memcpy(buffer, found->second.data(), std::min<std::size_t>(found->second.size(), size));
        return static_cast<std::uint16_t>(found->second.size() + 6);
    }

private:
    std::uint16_t Record(std::string call) {
        std::lock_guard l(mutex_);
        calls_.push_back(std::move(call));
        return 1;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::map<std::uint16_t, std::string> texts_;
};

}  // namespace zorbel::test
