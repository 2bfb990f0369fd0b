// Files of the instrument's file system: copy, move, delete, stored states,
// download in pieces, upload and the catalog of the current directory.
#include <cstring>
#include <limits>
#include <string>

#include "QRVHardDll.h"
#include "export_guard.h"
#include "link.h"
#include "memory_catalog.h"
#include "memory_chunked.h"
#include "memory_commands.h"
#include "zorbel/numbers.h"

namespace qrv {

std::string QuotedCommand(std::string_view verb, std::string_view name) {
    std::string command(verb);
    command.append(" \"").append(name).append("\"");
    return command;
}

std::string QuotedCommand(std::string_view verb, std::string_view first, std::string_view second) {
    std::string command = QuotedCommand(verb, first);
    command.append(",\"").append(second).append("\"");
    return command;
}

std::uint16_t SendExpectingAnswer(std::string_view command) {
    std::string answer;
    const int sent = SendCommand(command, answer, static_cast<std::uint32_t>(ExchangeMode::WriteRead));
    return sent == kExchangeDone ? kStatusOk : FailureStatus(sent);
}

namespace {

std::uint16_t NameCommand(std::string_view verb, const char* name) {
    if (name == nullptr) return kStatusRejected;
    return NoThrow([&] { return SendExpectingAnswer(QuotedCommand(verb, name)); });
}

std::uint16_t TwoNameCommand(std::string_view verb, const char* source, const char* destination) {
    if (source == nullptr || destination == nullptr) return kStatusRejected;
    return NoThrow([&] { return SendExpectingAnswer(QuotedCommand(verb, source, destination)); });
}

constexpr std::uint64_t kIntMax = std::numeric_limits<std::int32_t>::max();

}  // namespace

}  // namespace qrv

extern "C" {

QRV_API uint16_t qmkHDMCopyFile(const char* source, const char* destination, uint32_t, uint32_t) {
    return qrv::TwoNameCommand("MMEMory:COPY", source, destination);
}

QRV_API uint16_t qmkHDMMoveFile(const char* source, const char* destination, uint32_t, uint32_t) {
    return qrv::TwoNameCommand("MMEMory:MOVE", source, destination);
}

QRV_API uint16_t qmkHDMDeleteFile(const char* name, uint32_t) { return qrv::NameCommand("MMEMory:DELete", name); }

QRV_API uint16_t qmkHDMLoadStateFile(const char* name, uint32_t) {
    return qrv::NameCommand("MMEMory:LOAD:STATe", name);
}

QRV_API uint16_t qmkHDMStoreStateFile(const char* name, uint32_t) {
    return qrv::NameCommand("MMEMory:STORe:STATe", name);
}

// One piece of a file: `length` characters of `piece` that belong at `start`
// of a file of `total` characters. The instrument reads the numbers as signed
// 32-bit values, so larger ones are rejected rather than sent wrapped.
QRV_API uint16_t qmkHDMDownLoadFile(const char* name, uint32_t, const char* piece, uint32_t total, uint32_t start,
                                    uint32_t length) {
    if (name == nullptr || piece == nullptr) return qrv::kStatusRejected;
    const std::uint64_t end = std::uint64_t{start} + length;
    if (total > qrv::kIntMax || end > qrv::kIntMax) return qrv::kStatusRejected;
    return qrv::NoThrow([&] {
        std::string command = qrv::QuotedCommand("MMEMory:DOWNload", name);
        command.append(", ").append(zorbel::formatInt(total));
        command.append(", ").append(zorbel::formatInt(static_cast<long long>(end)));
        command.append(", ").append(zorbel::formatInt(length));
        command.append(", \"").append(piece).append("\"");
        return qrv::SendExpectingAnswer(command);
    });
}

// The whole file in pieces; `*length` gets its size even when it does not fit.
// It fits when size + NUL <= capacity; an empty file is not acceptable.
QRV_API uint16_t qmkHDMUpLoadFile(const char* name, uint32_t, char* buffer, uint32_t capacity, uint32_t* length) {
    if (name == nullptr || buffer == nullptr || length == nullptr) return qrv::kStatusRejected;
    return qrv::NoThrow([&]() -> std::uint16_t {
        std::string collected;
        const auto status = qrv::ReadChunked(qrv::QuotedCommand("MMEMory:UPLoad", name), collected);
        if (status != qrv::kStatusOk) return status;
        *length = static_cast<std::uint32_t>(collected.size());
        if (collected.empty() || collected.size() >= capacity) return qrv::kStatusRejected;
        std::memcpy(buffer, collected.c_str(), collected.size() + 1);
        return qrv::kStatusOk;
    });
}

// Lists the instrument's current directory. `directory` and `tag` are the
// caller's own labels, copied into every entry (the directory cut to fit).
QRV_API uint16_t qmkHDMGetCatalog(const char* directory, int32_t tag, CatalogEntry* entries, uint32_t maximumEntries,
                                  uint32_t* count) {
    if (directory == nullptr || count == nullptr || (entries == nullptr && maximumEntries > 0))
        return qrv::kStatusRejected;
    return qrv::NoThrow([&]() -> std::uint16_t {
        std::string collected;
        const auto status = qrv::ReadChunked("MMEMory:CATalog?", collected);
        if (status != qrv::kStatusOk) return status;
        const std::string_view dir(directory, ::strnlen(directory, sizeof(CatalogEntry::directory)));
        const auto split = qrv::SplitCatalog(collected, dir, tag, entries, maximumEntries);
        for (std::uint32_t i = 0; i < split.untranslatable; ++i) qrv::ShowMessage("Cannot translate Readstring!");
        *count = split.entries;
        return qrv::kStatusOk;
    });
}

}  // extern "C"
