// Line-oriented 8-bit text files for the arbitrary data formats: a line
// reader that never blocks on special files and a writer that replaces its
// file completely or not at all. Numbers inside the lines are the formats'
// business (zorbel/numbers.h); this file only moves bytes.
#pragma once

#include "zorbel/atomic_file.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace zorbel {

// Longest line a reader hands out, bytes. The formats' lines are below 200
// bytes; a longer one fails the read instead of exhausting memory.
inline constexpr std::size_t kMaxTextLineBytes = 1u << 20;

// Lines one after the other, without their line ends: LF, CR LF and CR alone
// (old files) end a line, a last line without a line end counts too.
class LineSource {
public:
    virtual ~LineSource() = default;
    // False at the end of the text or when reading failed (Failed() tells).
    virtual bool NextLine(std::string& line) = 0;
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

// Lines of a text in memory (its own copy).
class StringLines final : public LineSource {
public:
    explicit StringLines(std::string text) : text_(std::move(text)) {}
    bool NextLine(std::string& line) override;

private:
    std::string text_;
    std::size_t pos_ = 0;
};

// Lines of a regular file.
class FileLines final : public LineSource {
public:
    FileLines() = default;
    ~FileLines() override;
    FileLines(const FileLines&) = delete;
    FileLines& operator=(const FileLines&) = delete;

    // Opens `path` (UTF-8). False with the system's description of the
    // failure in Error(); FIFOs, devices and folders are refused without
    // waiting on them.
    bool Open(const std::string& path);
    bool NextLine(std::string& line) override;

private:
    bool Fill();

    int fd_ = -1;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool eof_ = false;
};

// Receives text piece by piece.
class TextSink {
public:
    virtual ~TextSink() = default;
    // False when the text could not be stored; the writer then stops.
    virtual bool Write(std::string_view text) = 0;
};

class StringSink final : public TextSink {
public:
    bool Write(std::string_view text) override {
        text_.append(text);
        return true;
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// A data file written as a whole or not at all (see zorbel/atomic_file.h):
// without Commit, or when it fails, the old file stays as it was.
class AtomicTextFile final : public TextSink {
public:
    // Creates the temporary file for `path`. False with the system's text in Error().
    bool Create(const std::string& path) { return file_.Create(path); }
    bool Write(std::string_view text) override { return file_.Write(text); }
    // Writes what is buffered, flushes to disk, renames. False with the
    // system's text in Error(); the target is then untouched.
    bool Commit() { return file_.Commit(); }
    const std::string& Error() const { return file_.Error(); }

private:
    AtomicFile file_;
};

}  // namespace zorbel
