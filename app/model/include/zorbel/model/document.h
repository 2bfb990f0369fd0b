// CZorbelDoc: the program's single document. It owns the generator model for
// the life of the program and offers the file operations of the File menu:
// load and save a setup, load and save the current channel's arbitrary
// waveform as .arb (kind 0) or .qwf (kind 1). Failures are reported through
// DocumentMessages, which the program turns into message boxes and a
// command-line tool into lines on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "zorbel/model/arbitrary_files.h"
#include "zorbel/model/device_settings.h"
#include "zorbel/model/file_texts.h"
#include "zorbel/model/waveform_import.h"

namespace zorbel {

// Data kinds of the arbitrary operations.
inline constexpr std::uint16_t kArbitraryDataFile = 0;      // ".arb"
inline constexpr std::uint16_t kArbitraryExchangeFile = 1;  // ".qwf"

// The messages of the file operations are FileTexts ("Cann't Load file: %1",
// "Cann't" as the users know it): English here, translated where shown.

class DocumentMessages {
public:
    virtual ~DocumentMessages() = default;
    // One message for the user about the file at `path`; called on the thread
    // that called the file operation.
    virtual void ShowMessage(const std::string& text, const std::string& path) = 0;
    // A remark on a file that did load (see LoadWarnings); shown as a
    // message unless the receiver tells warnings apart.
    virtual void ShowWarning(const std::string& text, const std::string& path) { ShowMessage(text, path); }
};

// True when the last four characters of `path` are `extension` (".set"),
// compared without regard to the case of A-Z.
bool HasExtension(std::string_view path, std::string_view extension);

class CZorbelDoc {
public:
    // The model on the real generator library.
    CZorbelDoc();
    // The model on another implementation (a test double); `api` must outlive it.
    explicit CZorbelDoc(GeneratorApi& api);
    CZorbelDoc(const CZorbelDoc&) = delete;
    CZorbelDoc& operator=(const CZorbelDoc&) = delete;

    // nullptr: failures are not shown (the results still tell).
    void SetMessages(DocumentMessages* messages) { messages_ = messages; }

    DeviceSettings& GetDeviceSettings() { return settings_; }
    const DeviceSettings& GetDeviceSettings() const { return settings_; }

    // Each returns true on success. On failure the message has been shown
    // and the model is as it was (a file being saved: the earlier file of
    // that name is kept).
    // A missing setup file loads as all defaults.
    bool LoadSetup(const std::string& path);
    bool SaveSetup(const std::string& path);
    // Into / from the current channel; another kind fails without a message.
    // A load that succeeded shows each of the reader's warnings.
    bool LoadArbitrary(std::uint16_t kind, const std::string& path);
    bool SaveArbitrary(std::uint16_t kind, const std::string& path);
    // Import Data: a sound file or a table of values (waveform_import.h)
    // into the current channel, anything else as LoadArbitrary loads .qwf.
    bool ImportData(const std::string& path);
    // LoadArbitrary as a long job (ArbitraryFileJob): the file is read on a
    // worker and `done` hears how it ended (ImportEnded shows it). Nothing,
    // the refusal shown, for a file of another kind.
    std::optional<LongJob> LoadArbitraryJob(std::uint16_t kind, const std::string& path, RedrawSink* sink,
                                            std::function<void(const ImportOutcome&)> done);
    // The end of an import or load that ran as a long job: its refusal
    // or its warnings shown as ImportData shows them; returns whether it
    // imported.
    bool ImportEnded(const ImportOutcome& outcome, const std::string& path);

private:
    bool Refuse(std::string_view message, const std::string& path);
    bool CheckArbitraryKind(std::uint16_t kind, const std::string& path);
    void ShowWarnings(const LoadWarnings& warnings, const std::string& path);

    DeviceSettings settings_;
    DocumentMessages* messages_ = nullptr;
};

}  // namespace zorbel
