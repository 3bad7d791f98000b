// Times the hosts check and the hosts repair on a generated hosts file against grep -E -i with
// the same line patterns over the same file, measured in the same run, and prints the ratios
// and the peak memory each operation adds (measured in a fresh process of its own).
//
//   bench_hosts [LINES] [REPETITIONS]     (defaults: 150000 lines, best of 15)
//
// The check runs over a clean file (it reads every line); the repair over the same file with
// one pinning line for each of the 20 configured names, restored before every run. grep runs
// in the C locale and counts matching lines, so it too reads the whole file; its figure
// includes starting the process, which is printed separately. Times are wall-clock, the best
// of the repetitions, ours and grep's interleaved.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "checks/hosts_check.h"
#include "config/check_config.h"
#include "platform/context.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kNameCount = 20;

std::vector<std::string> ConfiguredNames() {
    std::vector<std::string> names;
    for (int i = 0; i < kNameCount; ++i)
        names.push_back("ebank" + std::to_string(i) + ".tinglanbank.example");
    return names;
}

// Address lines of varied shape: plain, tab-separated, with aliases, with comments, blank
// lines and comment lines, none of them pinning a configured name.
std::string CleanHostsText(int lines) {
    std::mt19937 random(20240601);
    std::string text = "# Hosts file of a busy computer.\r\n";
    for (int i = 1; i < lines; ++i) {
        const std::string address =
            std::to_string(10 + random() % 200) + "." + std::to_string(random() % 256) + "." +
            std::to_string(random() % 256) + "." + std::to_string(random() % 256);
        switch (random() % 10) {
            case 0:
                text += "\r\n";
                break;
            case 1:
                text += "# blocked " + std::to_string(i) + "\r\n";
                break;
            case 2:
                text += address + "\tads" + std::to_string(i) + ".example.net\r\n";
                break;
            case 3:
                text += address + " cdn" + std::to_string(i) + ".example.org # mirror\r\n";
                break;
            default:
                text += address + " host" + std::to_string(i) + ".example.com\r\n";
                break;
        }
    }
    return text;
}

// The clean text with one pinning line per configured name, spread over the file.
std::string PinnedHostsText(const std::string& clean, const std::vector<std::string>& names) {
    std::string text;
    const size_t step = clean.size() / (names.size() + 1);
    size_t from = 0;
    for (const std::string& name : names) {
        const size_t lineEnd = clean.find('\n', from + step) + 1;
        text.append(clean, from, lineEnd - from);
        text += "1.2.3.4 " + name + "\r\n";
        from = lineEnd;
    }
    text.append(clean, from, std::string::npos);
    return text;
}

std::string GrepPattern(const std::string& name) {
    std::string escaped;
    for (const char c : name) {
        if (c == '.')
            escaped += '\\';
        escaped += c;
    }
    return "^[[:space:][:digit:].]+" + escaped + "[[:space:]]*(#.+)?$";
}

std::string GrepCommand(const std::vector<std::string>& names, const fs::path& file) {
    std::string command = "LC_ALL=C grep -E -i -c";
    for (const std::string& name : names)
        command += " -e '" + GrepPattern(name) + "'";
    return command + " '" + file.string() + "' > /dev/null";
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double TimeOnce(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return Milliseconds(Clock::now() - start);
}

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

// The resident memory an operation adds at its peak, in bytes: the high-water mark is reset
// first and compared with the resident size before.
long PeakAddedBytes(const std::function<void()>& work) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKilobytes("VmRSS");
    work();
    return (StatusKilobytes("VmHWM") - before) * 1024;
}

config::CheckConfig* MakeConfig(const std::vector<std::string>& names) {
    auto* config = new config::CheckConfig;
    config::ConfigSection section{"host", {}};
    for (const std::string& name : names)
        section.entries.push_back({name, "", "", "", ""});
    config->sections.push_back(section);
    return config;
}

// In a fresh process, so that no memory kept from earlier runs hides the peak: opens the
// sandbox, puts the clean or the pinned copy in place and prints the peak the check or the
// repair adds.
int MeasurePeakInThisProcess(const std::string& mode, const fs::path& root) {
    std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context)
        return 1;
    const std::unique_ptr<config::CheckConfig> config(MakeConfig(ConfiguredNames()));
    const std::string hosts = checks::HostsFilePath(*context);
    const bool repair = mode == "repair";
    context->files->CopyFile(hosts + (repair ? ".pinned" : ".clean"), hosts, false);
    bool verdict = false;
    const long peak =
        PeakAddedBytes([&] { verdict = checks::CheckHosts(*context, *config, repair); });
    std::printf("%ld\n", verdict ? peak : -1);
    return 0;
}

long MeasurePeakInChild(const char* self, const std::string& mode, const fs::path& root) {
    const fs::path output = root / ("peak-" + mode + ".txt");
    const std::string command = "'" + std::string(self) + "' --peak " + mode + " '" +
                                root.string() + "' > '" + output.string() + "'";
    if (std::system(command.c_str()) != 0)
        return -1;
    std::ifstream in(output);
    long peak = -1;
    in >> peak;
    return peak;
}

struct Figures {
    double ours = 1e300;
    double grep = 1e300;
};

// The goal is set against grep as a command; the ratio against its reading alone (its time
// less the time it takes on an empty file) is printed beside it.
void PrintLine(const char* what, const Figures& figures, double grepStart, double goal) {
    const double ratio = figures.ours / figures.grep;
    const double reading = figures.grep - grepStart;
    std::printf("%-7s ours %7.2f ms  grep %7.2f ms  ratio %5.2f (goal <= %.0f: %s)", what,
                figures.ours, figures.grep, ratio, goal, ratio <= goal ? "met" : "NOT met");
    if (reading > 0.05 * figures.grep) {
        std::printf("  against grep's reading alone %5.2f\n", figures.ours / reading);
    } else {
        std::printf("  (grep's reading alone is lost in the noise of its start)\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--peak")
        return MeasurePeakInThisProcess(argv[2], argv[3]);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 150000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 15;

    std::random_device seed;
    const fs::path root =
        fs::temp_directory_path() / ("nestora-bench-hosts-" + std::to_string(seed()));
    std::unique_ptr<platform::Context> context = platform::OpenSandbox(root);
    if (!context) {
        std::fprintf(stderr, "cannot open a sandbox in %s\n", root.c_str());
        return 1;
    }
    platform::FileSystem& files = *context->files;
    const std::string hosts = checks::HostsFilePath(*context);
    const std::string pinnedCopy = hosts + ".pinned";
    const std::string cleanCopy = hosts + ".clean";

    const std::vector<std::string> names = ConfiguredNames();
    size_t fileSize = 0;
    {
        const std::string clean = CleanHostsText(lines);
        const std::string pinned = PinnedHostsText(clean, names);
        fileSize = clean.size();
        if (!files.WriteFile(cleanCopy, clean) || !files.WriteFile(pinnedCopy, pinned)) {
            std::fprintf(stderr, "cannot write the hosts files\n");
            return 1;
        }
    }
    const std::unique_ptr<config::CheckConfig> configRecord(MakeConfig(names));
    config::CheckConfig& config = *configRecord;

    const std::string grepClean = GrepCommand(names, files.ToLinuxPath(cleanCopy));
    const std::string grepPinned = GrepCommand(names, files.ToLinuxPath(pinnedCopy));
    const std::string grepEmpty = GrepCommand(names, "/dev/null");
    const auto restore = [&](const std::string& copy) { files.CopyFile(copy, hosts, false); };

    Figures check;
    Figures repair;
    double grepStart = 1e300;
    bool verdictsRight = true;
    for (int run = 0; run < repetitions; ++run) {
        restore(cleanCopy);
        check.ours = std::min(check.ours, TimeOnce([&] {
                                  verdictsRight &= checks::CheckHosts(*context, config, false);
                              }));
        check.grep = std::min(check.grep, TimeOnce([&] { std::system(grepClean.c_str()); }));
        restore(pinnedCopy);
        repair.ours = std::min(repair.ours, TimeOnce([&] {
                                   verdictsRight &= checks::CheckHosts(*context, config, true);
                               }));
        verdictsRight &= checks::CheckHosts(*context, config, false);
        repair.grep = std::min(repair.grep, TimeOnce([&] { std::system(grepPinned.c_str()); }));
        grepStart = std::min(grepStart, TimeOnce([&] { std::system(grepEmpty.c_str()); }));
    }

    const long checkPeak = MeasurePeakInChild(argv[0], "check", root);
    const long repairPeak = MeasurePeakInChild(argv[0], "repair", root);
    verdictsRight &= checkPeak >= 0 && repairPeak >= 0;

    std::printf("hosts file: %d lines, %.2f MB, %d configured names, best of %d\n", lines,
                fileSize / 1e6, kNameCount, repetitions);
    std::printf("grep on an empty file (process start, patterns): %.2f ms\n", grepStart);
    PrintLine("check", check, grepStart, 2);
    PrintLine("repair", repair, grepStart, 4);
    std::printf(
        "peak memory added: check %.2f MB (%.2f x file), repair %.2f MB (%.2f x file), "
        "goal < 4 x file: %s\n",
        checkPeak / 1e6, static_cast<double>(checkPeak) / fileSize, repairPeak / 1e6,
        static_cast<double>(repairPeak) / fileSize,
        std::max(checkPeak, repairPeak) < 4 * static_cast<long>(fileSize) ? "met" : "NOT met");
    if (!verdictsRight)
        std::printf("WRONG VERDICT: a check or repair did not give the expected result\n");

    context.reset();
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return verdictsRight ? 0 : 1;
}
