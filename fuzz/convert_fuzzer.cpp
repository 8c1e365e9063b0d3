// Converts the input as a PST file in every target — Apple, Thunderbird (EML and MBOX), the Outlook archive and
// separate files (MBOX split at 1 MB, and EML) — into a scratch folder under /dev/shm, then removes the folder.
// The header CRCs are recomputed first so that mutations get past them. A refusal to open, a failed run or
// skipped items are clean outcomes; a crash, hang, runaway allocation or a file outside the scratch folder's
// output is a finding.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "export/export_agent.h"
#include "export/folder_selection.h"
#include "export/targets.h"
#include "fuzz_input.h"
#include "platform/settings_store.h"
#include "session/message_store.h"
#include "session/pst_session.h"

namespace {

struct Target {
    std::int32_t packing;
    std::int32_t format;
    std::int32_t splitMB;
};
constexpr Target kTargets[] = {{mailferry::kApplePacking, mailferry::kMboxFormat, 0},
                               {mailferry::kThunderbirdPacking, mailferry::kEmlFormat, 0},
                               {mailferry::kThunderbirdPacking, mailferry::kMboxFormat, 0},
                               {mailferry::kArchivePacking, mailferry::kMboxFormat, 0},
                               {mailferry::kSeparateFilesPacking, mailferry::kMboxFormat, 1},
                               {mailferry::kSeparateFilesPacking, mailferry::kEmlFormat, 0}};

void ConvertEverywhere(const std::string& pst, const std::filesystem::path& scratch) {
    static const mailferry::platform::settings_store settings(scratch / "no-defaults", scratch / "no-user");
    auto session = std::make_shared<mailferry::PSTSession>(pst, settings);
    session->SetPstDefaultCodePage(1252);
    std::vector<mailferry::MAPIFolder*> folders;
    mailferry::CollectTreeFolders(session->GetRootStore().GetSubTreeFolder(), folders);
    std::vector<mailferry::FolderExportItem> items;
    items.reserve(folders.size());
    std::vector<mailferry::IExportItemMAPIFolder*> selection;
    for (auto* folder : folders) selection.push_back(&items.emplace_back(*folder));
    const mailferry::SelectedKinds kinds = mailferry::KindsOf(folders);

    int n = 0;
    for (const Target& target : kTargets) {
        const std::string out = (scratch / ("out-" + std::to_string(n++))).string();
        std::filesystem::create_directories(out);
        mailferry::OptionSwitches switches;
        switches.splitMBOXFiles = target.splitMB > 0;
        switches.maxMBOXSize = target.splitMB;
        const mailferry::OptionMenuItem option{target.packing, target.format, u""};
        mailferry::ApplySwitchRules(kinds, &option, switches);
        auto prepared = mailferry::StartExport(
            selection, option, switches, kinds, [&](std::u16string_view, std::u16string_view) { return out; },
            scratch / "no-resources", 1700000000);
        mailferry::ExportServices services = mailferry::StandardExportServices(mailferry::time_zone::gmt());
        services.now = [] { return std::int64_t{1700000000}; };
        mailferry::RuzorizUvezazExportAgent agent(prepared->settings, *prepared->files, std::move(services));
        mailferry::SilentProgressPresenter presenter;
        mailferry::StringLogger log;
        agent.DoExportWithProgressPresenter(presenter, nullptr, log);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path scratch = "/dev/shm/mf-convert-fuzz-" + std::to_string(::getpid());
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch);
    const auto bytes = fuzzing::pst_bytes_with_valid_header_crcs(data, size);
    const std::string pst = (scratch / "input.pst").string();
    std::ofstream(pst, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    try {
        ConvertEverywhere(pst, scratch);
    } catch (const std::exception&) {
    }
    std::filesystem::remove_all(scratch);
    return 0;
}
