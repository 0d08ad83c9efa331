// Include (PC program directory -> unit directory) and exclude (the other way): each selected
// file is copied to its target and converted there by the unit's chain.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "dnc/history/TransferRecord.h"
#include "dnc/window/ConversionLibraries.h"
#include "dnc/window/ConversionReporter.h"

namespace dnc {

enum class TransferDirection { Include, Exclude };

struct IncludeExcludeRequest {
    TransferDirection direction = TransferDirection::Include;
    std::filesystem::path sourceDirectory;
    std::filesystem::path targetDirectory;
    std::filesystem::path unitDirectory;  // holds the chain files
    std::vector<std::string> files;       // selected names, in list order
    std::string typedBaseName;            // the dialog's name, used when one file is selected
    std::string extension;
    bool withoutConversion = false;
    // Where each file's outcome is recorded (none: not recorded), with the sub net and unit
    // whose directory is the source or target.
    history::TransferJournal* journal = nullptr;
    int subNet = 0;
    std::string caption;
    int unit = 0;
    // Told before each file (its index in `files`) and once more at the end (files.size()),
    // so that a window can show progress and keep answering during a long run. Returning
    // false stops the run before the next file (the window is closing).
    std::function<bool(std::size_t done, std::size_t total)> progress;
};

// Copies `source` to `target`, replacing it only once the copy is complete. The error text,
// empty on success.
std::string copyReplacing(const std::filesystem::path& source, const std::filesystem::path& target);

// Runs the whole include or exclude: reads the chain ("In.cnv" or "Out.cnv") once, then
// copies and converts every file. A failed copy is reported and that file is not converted.
// Every file is recorded in the journal: done with the bytes the target holds after its chain,
// failed with the first failing step (the target is written all the same) or the copy's
// failure. Returns the targets written, in order.
std::vector<std::filesystem::path> runIncludeExclude(const IncludeExcludeRequest& request,
                                                     ConversionLibraries& libraries,
                                                     ConversionReporter& reporter);

// Removes the operator's chosen `file` from the unit directory of `request` (its journal, sub
// net, caption and unit) and records the removal as a revision, with the content it had.
std::error_code removeFromUnitDirectory(const IncludeExcludeRequest& request,
                                        const std::filesystem::path& file);

}  // namespace dnc
