// Times XmlDocument against pugixml on generated documents: parsing alone, and parsing plus a
// walk that reads every attribute and text the way the configuration loader does. Prints
// throughput, the ratio to pugixml and memory.
//
//   bench_xml [MEGABYTES] [REPETITIONS]     (defaults: 64 MB, best of 5)
//
// Each figure is measured twice: in a fresh process per run, as the program parses its
// configuration once per start (the process runs itself with --task), and repeated in one
// process, where the allocator may hand back memory that an earlier run already touched.
// Times are processor time (user and system), which other work on a busy machine disturbs
// less than wall time.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/xml/bench_documents.h"
#include "xml/xml_document.h"

namespace {

// ---- pugixml's memory, counted through its allocation hooks ----

struct AllocationCounter {
    std::size_t live = 0;
    std::size_t peak = 0;
};
AllocationCounter pugiMemory;

// Each block carries its size in front, so that the release can be counted too.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CountedAllocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof(size));
    pugiMemory.live += size;
    pugiMemory.peak = std::max(pugiMemory.peak, pugiMemory.live);
    return block + kHeader;
}

void CountedRelease(void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    unsigned char* block = static_cast<unsigned char*>(pointer) - kHeader;
    std::size_t size = 0;
    std::memcpy(&size, block, sizeof(size));
    pugiMemory.live -= size;
    std::free(block);
}

// ---- walks: every attribute and text, searched by name like the configuration loader ----

std::size_t Size(const char* text) {
    return std::strlen(text);
}
std::size_t Size(const std::string& text) {
    return text.size();
}

template <typename Reader>
std::size_t ReadAll(const Reader& read, std::initializer_list<const char*> attributes, bool text) {
    std::size_t bytes = 0;
    for (const char* name : attributes) {
        bytes += Size(read.Attribute(name));
    }
    if (text) {
        bytes += Size(read.Text());
    }
    return bytes;
}

struct OursReader {
    XmlDocument& doc;
    std::string Attribute(const char* name) const { return doc.GetAttribute(name); }
    std::string Text() const { return doc.GetText(); }
};

struct PugiReader {
    pugi::xml_node node;
    const char* Attribute(const char* name) const { return node.attribute(name).value(); }
    const char* Text() const { return node.text().get(); }
};

std::size_t WalkItemOurs(XmlDocument& doc) {
    OursReader r{doc};
    std::size_t bytes = 0;
    if (!doc.FindNext("checkitems")) {
        return 0;
    }
    bytes += ReadAll(r, {"base"}, false);
    doc.Enter();
    while (doc.FindNext("config")) {
        bytes += ReadAll(r, {"type"}, false);
        doc.Enter();
        while (doc.FindNext("entry")) {
            bytes += ReadAll(r, {"name", "type", "value", "mask", "ip"}, true);
        }
        doc.Leave();
    }
    doc.Rewind();
    while (doc.FindNext("item")) {
        bytes += ReadAll(r, {"name", "type", "tips", "image", "class", "selectedid"}, false);
        doc.Enter();
        while (doc.FindNext("detect")) {
            bytes += ReadAll(r, {"type"}, true);
        }
        doc.Rewind();
        while (doc.FindNext("file")) {
            bytes += ReadAll(r, {"local", "remote", "version", "md5", "install"}, true);
        }
        doc.Rewind();
        while (doc.FindNext("installer")) {
            bytes += ReadAll(r, {"condition", "command", "md5"}, true);
        }
        while (doc.FindNext("uninstaller")) {
            bytes += ReadAll(r, {"type", "bit"}, true);
        }
        doc.Leave();
    }
    doc.Rewind();
    while (doc.FindNext("appinfo")) {
        bytes += ReadAll(r, {"imperative", "version", "remote", "md5", "installer"}, false);
    }
    return bytes;
}

std::size_t WalkItemPugi(pugi::xml_document& doc) {
    std::size_t bytes = 0;
    pugi::xml_node root = doc.child("checkitems");
    if (!root) {
        return 0;
    }
    bytes += ReadAll(PugiReader{root}, {"base"}, false);
    for (pugi::xml_node config : root.children("config")) {
        bytes += ReadAll(PugiReader{config}, {"type"}, false);
        for (pugi::xml_node entry : config.children("entry")) {
            bytes += ReadAll(PugiReader{entry}, {"name", "type", "value", "mask", "ip"}, true);
        }
    }
    for (pugi::xml_node item : root.children("item")) {
        bytes += ReadAll(PugiReader{item}, {"name", "type", "tips", "image", "class", "selectedid"},
                         false);
        for (pugi::xml_node detect : item.children("detect")) {
            bytes += ReadAll(PugiReader{detect}, {"type"}, true);
        }
        for (pugi::xml_node file : item.children("file")) {
            bytes +=
                ReadAll(PugiReader{file}, {"local", "remote", "version", "md5", "install"}, true);
        }
        for (pugi::xml_node installer : item.children("installer")) {
            bytes += ReadAll(PugiReader{installer}, {"condition", "command", "md5"}, true);
        }
        for (pugi::xml_node uninstaller : item.children("uninstaller")) {
            bytes += ReadAll(PugiReader{uninstaller}, {"type", "bit"}, true);
        }
    }
    for (pugi::xml_node appinfo : root.children("appinfo")) {
        bytes += ReadAll(PugiReader{appinfo},
                         {"imperative", "version", "remote", "md5", "installer"}, false);
    }
    return bytes;
}

std::size_t WalkDenseOurs(XmlDocument& doc) {
    OursReader r{doc};
    std::size_t bytes = 0;
    if (!doc.FindNext("d")) {
        return 0;
    }
    doc.Enter();
    while (doc.FindNext("r")) {
        bytes += ReadAll(r, {"i"}, false);
        doc.Enter();
        if (doc.FindNext("a") && doc.FindNext("b")) {
            bytes += ReadAll(r, {"c"}, false);
        }
        if (doc.FindNext("t")) {
            bytes += ReadAll(r, {}, true);
        }
        doc.Leave();
    }
    return bytes;
}

std::size_t WalkDensePugi(pugi::xml_document& doc) {
    std::size_t bytes = 0;
    for (pugi::xml_node r : doc.child("d").children("r")) {
        bytes += ReadAll(PugiReader{r}, {"i"}, false);
        bytes += ReadAll(PugiReader{r.child("b")}, {"c"}, false);
        bytes += ReadAll(PugiReader{r.child("t")}, {}, true);
    }
    return bytes;
}

// ---- measurement ----

enum class Kind { kItem, kDense };
enum Task { kParseOurs, kParsePugi, kWalkOurs, kWalkPugi, kTaskCount };

struct Run {
    double seconds = 1e30;
    std::size_t checksum = 0;
};

std::string MakeDocument(Kind kind, std::size_t megabytes) {
    const std::size_t bytes = megabytes * 1024 * 1024;
    return kind == Kind::kItem ? bench::MakeItemDocument(bytes) : bench::MakeDenseDocument(bytes);
}

std::size_t ParseOurs(std::string& text, std::size_t (*walk)(XmlDocument&)) {
    XmlDocument doc;
    if (!doc.Parse(std::move(text))) {
        std::fprintf(stderr, "XmlDocument rejected the document:\n%s\n", doc.Problems().c_str());
        std::exit(1);
    }
    return walk ? walk(doc) : doc.ElementTableBytes();
}

std::size_t ParsePugi(std::string& text, std::size_t (*walk)(pugi::xml_document&)) {
    pugi::xml_document doc;
    pugi::xml_parse_result result =
        doc.load_buffer_inplace(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result) {
        std::fprintf(stderr, "pugixml rejected the document: %s\n", result.description());
        std::exit(1);
    }
    return walk ? walk(doc) : 1;
}

std::size_t DoTask(Kind kind, Task task, std::string& text) {
    const bool item = kind == Kind::kItem;
    switch (task) {
        case kParseOurs:
            return ParseOurs(text, nullptr);
        case kParsePugi:
            return ParsePugi(text, nullptr);
        case kWalkOurs:
            return ParseOurs(text, item ? WalkItemOurs : WalkDenseOurs);
        default:
            return ParsePugi(text, item ? WalkItemPugi : WalkDensePugi);
    }
}

// One timed run on a copy of the document made before the clock starts.
Run TimeTask(Kind kind, Task task, const std::string& document) {
    std::string copy = document;
    const std::clock_t start = std::clock();
    Run run;
    run.checksum = DoTask(kind, task, copy);
    run.seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    return run;
}

// Repeated in this process, the tasks taking turns after a round that warms up.
std::vector<Run> MeasureInProcess(Kind kind, const std::string& document, int repetitions) {
    std::vector<Run> best(kTaskCount);
    for (int round = 0; round <= repetitions; ++round) {
        for (int task = 0; task < kTaskCount; ++task) {
            Run run = TimeTask(kind, static_cast<Task>(task), document);
            best[task].checksum = run.checksum;
            if (round > 0) {
                best[task].seconds = std::min(best[task].seconds, run.seconds);
            }
        }
    }
    return best;
}

// Each run in a fresh process: this program started again with --task, answering in a file.
std::vector<Run> MeasureInFreshProcesses(const char* self, Kind kind, std::size_t megabytes,
                                         int repetitions) {
    const std::string answer = (std::filesystem::temp_directory_path() /
                                ("bench_xml_" + std::to_string(std::random_device{}()) + ".txt"))
                                   .string();
    std::vector<Run> best(kTaskCount);
    for (int round = 0; round < repetitions; ++round) {
        for (int task = 0; task < kTaskCount; ++task) {
            const std::string command =
                std::string("'") + self + "' --task " + std::to_string(static_cast<int>(kind)) +
                " " + std::to_string(task) + " " + std::to_string(megabytes) + " '" + answer + "'";
            if (std::system(command.c_str()) != 0) {
                std::fprintf(stderr, "run failed: %s\n", command.c_str());
                std::exit(1);
            }
            Run run;
            std::ifstream(answer) >> run.seconds >> run.checksum;
            best[task].checksum = run.checksum;
            best[task].seconds = std::min(best[task].seconds, run.seconds);
        }
    }
    std::filesystem::remove(answer);
    return best;
}

int RunTaskAndAnswer(char** argv) {
    const Kind kind = static_cast<Kind>(std::atoi(argv[2]));
    const Task task = static_cast<Task>(std::atoi(argv[3]));
    const std::string document = MakeDocument(kind, std::strtoul(argv[4], nullptr, 10));
    const Run run = TimeTask(kind, task, document);
    std::ofstream(argv[5]) << run.seconds << " " << run.checksum << "\n";
    return 0;
}

void ReportRates(const char* what, double megabytes, const std::vector<Run>& runs) {
    for (int walked = 0; walked < 2; ++walked) {
        const double ours = megabytes / runs[walked ? kWalkOurs : kParseOurs].seconds;
        const double pugi = megabytes / runs[walked ? kWalkPugi : kParsePugi].seconds;
        std::printf("  %-13s %-13s XmlDocument %8.1f MB/s  pugixml %8.1f MB/s  ratio %.2fx\n", what,
                    walked ? "parse + walk" : "parse", ours, pugi, ours / pugi);
    }
}

void BenchDocument(const char* self, const char* title, Kind kind, std::size_t megabytes,
                   int repetitions) {
    const std::string document = MakeDocument(kind, megabytes);
    const double size = document.size() / (1024.0 * 1024.0);
    std::printf("%s: %.1f MB\n", title, size);

    const std::vector<Run> fresh = MeasureInFreshProcesses(self, kind, megabytes, repetitions);
    ReportRates("fresh process", size, fresh);
    const std::vector<Run> repeated = MeasureInProcess(kind, document, repetitions);
    ReportRates("same process", size, repeated);
    std::printf("  walk read %zu bytes with XmlDocument, %zu with pugixml\n",
                repeated[kWalkOurs].checksum, repeated[kWalkPugi].checksum);

    const std::size_t tableBytes = repeated[kParseOurs].checksum;
    pugiMemory.peak = 0;
    TimeTask(kind, kParsePugi, document);
    const std::size_t pugiBytes = pugiMemory.peak;
    std::printf(
        "  memory beyond the document: XmlDocument element table %.1f MB (%.2f x document), "
        "pugixml %.1f MB (%.2f x document)\n",
        tableBytes / (1024.0 * 1024.0), static_cast<double>(tableBytes) / document.size(),
        pugiBytes / (1024.0 * 1024.0), static_cast<double>(pugiBytes) / document.size());
}

}  // namespace

int main(int argc, char** argv) {
    pugi::set_memory_management_functions(CountedAllocate, CountedRelease);
    if (argc == 6 && std::string_view(argv[1]) == "--task") {
        return RunTaskAndAnswer(argv);
    }
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    std::printf(
        "processor time, best of %d runs; pugixml parses in place with its default options\n",
        repetitions);
    BenchDocument(argv[0], "item.xml-like document", Kind::kItem, megabytes, repetitions);
    BenchDocument(argv[0], "markup-dense document", Kind::kDense, megabytes, repetitions);
    return 0;
}
