// Directories of the instrument's file system: where we are, change, create
// and remove. Paths are the caller's NUL-terminated texts; the directory
// functions end them with "/" in the caller's own buffer.
#include <cstring>
#include <string>

#include "QRVHardDll.h"
#include "answer_parsers.h"
#include "export_guard.h"
#include "link.h"
#include "memory_commands.h"
#include "number_rules.h"

namespace qrv {

namespace {

// The caller's length must be the path's character count; a path not ending
// in "/" gets one, so the caller's buffer needs room for two more bytes.
// strnlen stops one byte past the claimed length: a longer path is rejected
// without reading on.
bool PreparePath(char* path, std::uint32_t* length) {
    if (path == nullptr || length == nullptr || *length == 0) return false;
    const std::size_t claimed = *length;
    if (::strnlen(path, claimed + 1) != claimed) return false;
    if (path[claimed - 1] != '/') {
        path[claimed] = '/';
        path[claimed + 1] = '\0';
        ++*length;
    }
    return true;
}

std::uint16_t DirectoryCommand(std::string_view verb, char* path, std::uint32_t* length) {
    if (!PreparePath(path, length)) return kStatusRejected;
    return NoThrow([&] { return SendExpectingAnswer(QuotedCommand(verb, path)); });
}

}  // namespace

}  // namespace qrv

extern "C" {

// `directory` must hold the longest answer plus "/" and NUL (kMaxBufLen + 2 bytes).
QRV_API uint16_t qmkHDMGetCurrentDirectory(char* directory, uint32_t* length) {
    if (directory == nullptr || length == nullptr) return qrv::kStatusRejected;
    return qrv::NoThrow([&]() -> std::uint16_t {
        std::string answer;
        const int sent =
            qrv::SendCommand("MMEMory:DIRectory?", answer, static_cast<std::uint32_t>(qrv::ExchangeMode::WriteRead));
        if (sent != qrv::kExchangeDone) return qrv::FailureStatus(sent);
        if (answer.empty()) {
            *length = 0;
            return qrv::kStatusRejected;
        }
        // Answers never exceed kMaxBufLen bytes; cut anything longer so the
        // documented buffer size always holds the text.
        if (answer.size() > qrv::kMaxBufLen) answer.resize(qrv::kMaxBufLen);
        if (answer.back() != '/') answer += '/';
        std::memcpy(directory, answer.c_str(), answer.size() + 1);
        *length = static_cast<std::uint32_t>(answer.size());
        return qrv::kStatusOk;
    });
}

// `*result` gets the instrument's answer, a number (its meaning is the instrument's).
QRV_API uint16_t qmkHDMSetCurrentDirectory(char* path, uint32_t* length, int16_t* result) {
    if (result == nullptr || !qrv::PreparePath(path, length)) return qrv::kStatusRejected;
    return qrv::NoThrow([&]() -> std::uint16_t {
        std::string answer;
        const int sent = qrv::SendCommand(std::string("MMEMory:CDIRectory ") + path, answer,
                                          static_cast<std::uint32_t>(qrv::ExchangeMode::WriteRead));
        if (sent != qrv::kExchangeDone) return qrv::FailureStatus(sent);
        double value = 0.0;
        if (!qrv::TurnStringIntoDouble(answer, value)) return qrv::kStatusRejected;
        return qrv::TruncateToInt16(value, *result) ? qrv::kStatusOk : qrv::kStatusRejected;
    });
}

QRV_API uint16_t qmkHDMCreateDirectory(char* path, uint32_t* length) {
    return qrv::DirectoryCommand("MMEMory:MDIRectory", path, length);
}

QRV_API uint16_t qmkHDMDeleteDirectory(char* path, uint32_t* length) {
    return qrv::DirectoryCommand("MMEMory:RDIRectory", path, length);
}

}  // extern "C"
