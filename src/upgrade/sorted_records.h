// Records, each a sort key and a body, handed back in the order of their keys (bytes compared
// as unsigned), records of equal keys in the order they were added. Up to a bound they are kept
// in memory; given a file to spill into, each full batch is sorted and written there as a run,
// and the runs are merged as the records are read, so that the memory they take does not grow
// with their number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace zestrel::upgrade {

class SortedRecords {
public:
    explicit SortedRecords(std::size_t batchBytes = std::size_t{1} << 20) : batchBytes_(batchBytes) {}
    SortedRecords(const SortedRecords&) = delete;
    SortedRecords& operator=(const SortedRecords&) = delete;
    ~SortedRecords();

    // From now on full batches go to a new file at `path` (what was there, a run's leftover, is
    // removed first), readable by its owner alone; the file is removed when the records are
    // cleared or destroyed.
    void spillTo(const std::filesystem::path& path);
    void add(std::string_view key, std::string_view body);
    bool empty() const { return count_ == 0; }
    std::uint64_t size() const { return count_; }
    // Every body, in key order. May be called any number of times.
    void forEach(const std::function<void(std::string_view body)>& visit) const;
    // Forgets every record, and the file spilled into.
    void clear();

private:
    struct Run {
        std::uint64_t begin;
        std::uint64_t end;
    };
    // The batch's records by their place in `batch_`, in key order; sorted once for any number of
    // readings until the batch changes.
    const std::vector<std::uint32_t>& sortedBatch() const;
    void spillBatch();
    void removeSpill() noexcept;

    std::size_t batchBytes_;
    std::uint64_t count_ = 0;
    // Records as [key length][body length][key][body], lengths 4 bytes each.
    std::string batch_;
    std::vector<std::uint32_t> starts_;
    mutable std::vector<std::uint32_t> order_;
    mutable bool sorted_ = false;
    std::optional<platform::File> spill_;
    std::filesystem::path spillPath_;
    std::vector<Run> runs_;
};

}  // namespace zestrel::upgrade
