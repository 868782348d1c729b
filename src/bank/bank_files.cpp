#include "bank/bank_files.h"

#include <optional>

#include "output/dmp_preset.h"
#include "output/opm_bank.h"
#include "output/wopn_bank.h"
#include "platform/filesystem.h"

namespace timbrex {

namespace {

std::vector<uint8_t> text_bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string in_folder(const std::string& folder, const std::string& name) {
    const bool ends_in_separator = !folder.empty() && platform::is_path_separator(folder.back());
    return ends_in_separator ? folder + name : folder + platform::kPathSeparator + name;
}

// What a failed save made goes again: the temporary files, the files it put
// where none were, and the folder it created.
struct Cleanup {
    std::vector<std::string> temporaries;
    std::vector<std::string> created;
    std::string folder;

    void run() const {
        for (const std::string& path : temporaries) {
            if (!path.empty()) platform::remove_file(path);  // renamed into place already when empty
        }
        for (const std::string& path : created) platform::remove_file(path);
        if (!folder.empty()) platform::remove_empty_directory(folder);
    }
};

}  // namespace

std::string numbered_path(const std::string& out, size_t number) {
    size_t component = out.size();
    while (component > 0 && !platform::is_path_separator(out[component - 1])) --component;
    const size_t dot = out.rfind('.');
    // A dot that starts the name, or none in the last component: no suffix.
    const bool has_suffix = dot != std::string::npos && dot > component;
    const size_t at = has_suffix ? dot : out.size();
    return out.substr(0, at) + "-" + std::to_string(number) + out.substr(at);
}

BankPlan plan_bank(BankFormat format, const std::string& out, const std::vector<BankInstrument>& instruments) {
    BankPlan plan;
    switch (format) {
        case BankFormat::wopn:
            if (instruments.size() > kWopnMaxInstruments) {
                plan.too_many = true;
                break;
            }
            plan.files.push_back({out, wopn_bank_bytes(instruments)});
            break;
        case BankFormat::opm: {
            const std::vector<std::string> texts = opm_bank_texts(instruments);
            for (size_t i = 0; i < texts.size(); ++i) {
                plan.files.push_back({i == 0 ? out : numbered_path(out, i + 1), text_bytes(texts[i])});
            }
            break;
        }
        case BankFormat::dmp: {
            plan.folder = out;
            const std::vector<std::string> names = dmp_file_names(instruments);
            for (size_t i = 0; i < instruments.size(); ++i) {
                const DmpPresetBytes bytes = dmp_preset_bytes(instruments[i].voice);
                plan.files.push_back({in_folder(out, names[i]), std::vector<uint8_t>(bytes.begin(), bytes.end())});
            }
            break;
        }
    }
    return plan;
}

std::string save_bank(const BankPlan& plan) {
    Cleanup cleanup;
    if (!plan.folder.empty() && !platform::is_directory(plan.folder)) {
        if (!platform::make_directory(plan.folder)) return plan.folder;
        cleanup.folder = plan.folder;
    }
    std::vector<bool> existed;
    for (const PlannedFile& file : plan.files) {
        existed.push_back(platform::path_exists(file.path));
        const std::optional<std::string> temporary =
            platform::write_temporary_file(file.path, file.bytes.data(), file.bytes.size());
        if (!temporary) {
            cleanup.run();
            return file.path;
        }
        cleanup.temporaries.push_back(*temporary);
    }
    const std::vector<std::string> temporaries = cleanup.temporaries;
    for (size_t i = 0; i < plan.files.size(); ++i) {
        if (!platform::rename_replacing(temporaries[i], plan.files[i].path)) {
            cleanup.run();
            return plan.files[i].path;
        }
        cleanup.temporaries[i].clear();
        if (!existed[i]) cleanup.created.push_back(plan.files[i].path);
    }
    return "";
}

}  // namespace timbrex
