// Writing and reading a large .vorn document: 10,000 nodes and 30,000 links,
// every optional member given. Prints the size and the time of each step,
// and of reading that also notes where each record starts.
#include <chrono>
#include <cstdio>
#include <string>

#include "formats/vorn_reader.h"
#include "formats/vorn_writer.h"
#include <gtest/gtest.h>

namespace {

vorn::VornFile large_file(std::size_t node_count, std::size_t link_count) {
    vorn::VornFile file;
    file.version = "1.0";
    file.metadata = {"perf", "a large generated network", "perf", "now"};
    file.nodes.reserve(node_count);
    for (std::size_t i = 0; i < node_count; ++i) {
        file.nodes.push_back({"node-" + std::to_string(i), 100.0 + static_cast<double>(i) * 0.25,
                              static_cast<std::uint32_t>(i % 16), static_cast<vorn::VornNodeType>(i % 3)});
    }
    file.links.reserve(link_count);
    for (std::size_t i = 0; i < link_count; ++i) {
        const std::size_t a = i % node_count, b = (i * 7 + 1) % node_count;
        file.links.push_back({"link-" + std::to_string(i), file.nodes[a].id, file.nodes[b].id,
                              1.0 + static_cast<double>(i % 1000) / 3.0, 0.9 + static_cast<double>(i % 97) * 1e-3,
                              1e3 + static_cast<double>(i), static_cast<vorn::VornLinkType>(i % 2),
                              vorn::VornSatelliteExtension{0.5, 0.75}});
    }
    file.config = vorn::VornConfig{0.2, 0.01, 0.5, 40u};
    file.constraints = vorn::VornConstraints{0.9, 100.0};
    return file;
}

double milliseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(VornFilePerf, perf_vorn_file_write_and_read_40k_records) {
    const vorn::VornFile file = large_file(10000, 30000);
    auto start = std::chrono::steady_clock::now();
    const std::string text = vorn::write_file_text(file);
    const double write_ms = milliseconds_since(start);
    start = std::chrono::steady_clock::now();
    const vorn::VornFile read = vorn::parse_file_text(text);
    const double read_ms = milliseconds_since(start);
    start = std::chrono::steady_clock::now();
    vorn::VornFilePlaces places;
    const vorn::VornFile placed = vorn::parse_file_text(text, places);
    const double placed_ms = milliseconds_since(start);
    EXPECT_EQ(read, file);
    EXPECT_EQ(placed, file);
    EXPECT_EQ(places.link_records.size(), file.links.size());
    std::printf(
        "vorn file, 10000 nodes + 30000 links, %.1f MB: write %.1f ms, read %.1f ms, "
        "read with record places %.1f ms (ratio %.2f)\n",
        static_cast<double>(text.size()) / 1e6, write_ms, read_ms, placed_ms, placed_ms / read_ms);
}
