#pragma once
// folder_exporter.h: what every per-folder exporter shares — the folder's result and counters, the item loop
// (next item, write it, count it, report progress, notice a cancel), the treatment of a failed item and the
// closing lines of the report. A subclass makes the folder's files and writes one item; the loop guarantees
// that nothing of a failed item stays in an output file, that a write failure ends the folder with code 2, and
// that damage to the file's B-trees ends the whole run (it passes to the driver as pstcore::database_corrupt).
// One exporter serves one folder once. Not thread-safe.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "export/export_interfaces.h"
#include "export/export_run.h"
#include "export/output_file.h"

namespace mailferry {

class MAPIFolder;
class Message;

// True for damage to the file's node or block B-tree: no item can be trusted any more, so the run stops
// instead of skipping item after item.
bool IsDamagedFileIndex(const std::exception& error);

class FolderExporter {
public:
    FolderExporter(ExportRun& run, MAPIFolder& folder, IProgressPresenter& progressPresenter, ILogger& logger);
    virtual ~FolderExporter();
    FolderExporter(const FolderExporter&) = delete;
    FolderExporter& operator=(const FolderExporter&) = delete;

    // Sets up, loops over the items, closes the files and writes the closing lines. OutputError never escapes;
    // pstcore::database_corrupt does for a damaged file, and so does any error of the set-up.
    ExportResult Export();

protected:
    // Makes the folder's folders and files. A file that cannot be opened fails the first item written to it.
    virtual void SetUp() = 0;
    // Writes one item (through AppendItem or WriteItemFile); any exception but OutputError skips it.
    virtual void ExportItem(Message& item) = 0;
    // Writes what the files still hold and closes them; throws OutputError when that fails.
    virtual void CloseFiles() = 0;
    // Where the folder's output went, for "Saved in".
    virtual std::string OutputLocation() const = 0;
    // "emails", "contacts" or "calendar events".
    virtual std::u16string_view KindWord() const = 0;
    // The diagnostic line of a skipped item; `item` is null when the item could not even be read.
    virtual void LogSkippedItem(Message* item, const std::exception& error);
    // The folder's "Saved in" lines.
    virtual void WriteSavedIn();
    // Stores the number of written items in the result field of the exporter's kind.
    virtual void StoreCount(std::uint32_t written) = 0;

    // Shows the item in the progress message and writes it, with a blank line, to the log file.
    void Announce(std::u16string_view text);
    // A line to the report and then to the log file.
    void WriteLine(std::u16string_view text);
    // Opens (or creates) a file for appending; a failure logs "File opening failed for ..." and gives a file that
    // fails when written.
    std::unique_ptr<OutputFile> OpenAppend(const std::string& path);
    // Runs `write` on the file and writes the item out; when either throws, the file is cut back to its length
    // before.
    void AppendItem(OutputFile& file, const std::function<void(OutputFile&)>& write);
    // Writes an item into a new file of its own in `folder`: "<stem>_<i>.<extension>" with the folder's counter
    // i, which moves on past names already taken; when such a file cannot be made, "--------_<i>.<extension>".
    // A file that fails is removed.
    void WriteItemFile(const std::string& folder, std::u16string_view stem, std::string_view extension,
                       const std::function<void(OutputFile&)>& write);
    // Appends an item to the file `path` (created when absent) and closes it; when the item fails, the file is cut
    // back to its length before, and removed when the item made it.
    void AppendItemFile(const std::string& path, const std::function<void(OutputFile&)>& write);

    ExportRun& _run;
    MAPIFolder& _folder;
    IProgressPresenter& _progressPresenter;
    ILogger& _logger;
    ExportResult _result;
    std::uint32_t _processed = 0;  // items written
    std::uint32_t _skipped = 0;    // corrupt items
    std::int32_t _fileCounter = 1;

private:
    void RunItemLoop();
    void WriteClosingLines();
    void SkipItem(Message* item, const std::exception& error);
};

}  // namespace mailferry
