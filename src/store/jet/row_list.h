// Where the rows of a table or recordset live, in their order: RowPointer::encode() of each.
//
// Rows that follow one another on a page (the usual case, in storage order and mostly also in
// the order of a key the rows were added by) form a run, and the list keeps runs, not rows: each
// as the distance from the run before it and its length, in a few bytes. A table read in its
// storage order takes about three bytes a page instead of four a row; a list in no order at all
// takes about what four bytes a row would. Reading the list in order, forwards, costs a few
// instructions a row; a position far from the last one read is found from marks kept every few
// runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace zestrel::jet {

class RowList {
public:
    void push_back(std::uint32_t location);
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The location at `position`, which must be below size().
    std::uint32_t operator[](std::size_t position) const;
    // Gives the row at `position` another location (a row that moved when it grew).
    void set(std::size_t position, std::uint32_t location);
    // The memory the list takes, in bytes.
    std::size_t bytesHeld() const;

    // Reading the list in order.
    class Iterator {
    public:
        Iterator(const RowList& list, std::size_t at) : list_(&list), at_(at) {}
        std::uint32_t operator*() const { return (*list_)[at_]; }
        Iterator& operator++() {
            ++at_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return at_ == other.at_; }

    private:
        const RowList* list_;
        std::size_t at_;
    };
    Iterator begin() const { return Iterator(*this, 0); }
    Iterator end() const { return Iterator(*this, size_); }

private:
    struct Run {
        std::uint32_t first = 0;   // the location of its first row
        std::uint32_t length = 0;  // rows
        std::size_t position = 0;  // of its first row in the list
    };
    // Where decoding may start: every kRunsPerMark runs, the run's first byte, its position and
    // the end of the run before it (the location after that run's last row).
    struct Mark {
        std::size_t byte;
        std::size_t position;
        std::uint32_t endBefore;
    };
    static constexpr std::size_t kRunsPerMark = 32;

    void closeRun();
    // The location the row at `position` was added with.
    std::uint32_t added(std::size_t position) const;
    // Puts the cursor on the run that holds `position`, from the nearest mark at or before it
    // unless the cursor lies at or before it already.
    void seek(std::size_t position) const;
    // Decodes the run at the cursor's byte into the cursor.
    void decodeNext() const;

    // The closed runs, one after another: an unsigned LEB128 number holding the distance from the
    // end of the run before (zigzag, so that a step back is small too) times two, plus one when
    // the run is longer than a row; then, for such a run, its length less two.
    std::vector<std::uint8_t> bytes_;
    std::vector<Mark> marks_;
    std::size_t runs_ = 0;       // closed
    std::uint32_t endBefore_ = 0;  // the end of the last closed run
    Run open_;                   // the run being added to, after the closed ones
    std::size_t size_ = 0;
    std::map<std::size_t, std::uint32_t> moved_;  // rows given another location, by position

    // The run last decoded, and where the next one starts.
    mutable Run cursor_;
    mutable std::size_t cursorNextByte_ = 0;
    mutable std::uint32_t cursorEnd_ = 0;  // the end of cursor_ (the next run's distance is from it)
    mutable bool cursorValid_ = false;
};

}  // namespace zestrel::jet
