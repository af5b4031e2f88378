#include "platform/file_view.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/fault_injection.h"

namespace zestrel::platform {

namespace {

// The views a bus error may come from. The handler reads this table and nothing else, so its
// entries are lock-free atomics: a view is entered before its first read and taken out before
// it is unmapped.
struct ViewEntry {
    std::atomic<std::uintptr_t> start{0};
    std::atomic<std::size_t> length{0};
    std::atomic<bool> cutShort{false};
    std::atomic<bool> taken{false};
};
constexpr int kMaxViews = 64;
ViewEntry views[kMaxViews];

struct sigaction earlierBusAction {};
std::size_t systemPage = 4096;
std::once_flag handlerInstalled;

// Whoever handled bus errors before us handles those that do not come from a view; with no one,
// the default action is put back and the faulting instruction, run again, ends the process as it
// would have without us.
void passOn(int signal, siginfo_t* info, void* context) {
    if ((earlierBusAction.sa_flags & SA_SIGINFO) != 0 && earlierBusAction.sa_sigaction != nullptr)
        return earlierBusAction.sa_sigaction(signal, info, context);
    if (earlierBusAction.sa_handler != SIG_DFL && earlierBusAction.sa_handler != SIG_IGN)
        return earlierBusAction.sa_handler(signal);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
}

// A read from a view past the file's end (or of a part the disk could not give): the page is
// replaced by one of zeros, the view marked, and the read goes on.
void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (ViewEntry& view : views) {
        const std::uintptr_t start = view.start.load();
        if (start == 0 || address < start || address - start >= view.length.load()) continue;
        const std::uintptr_t page = address & ~(static_cast<std::uintptr_t>(systemPage) - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(page), systemPage, PROT_READ,
                             MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (zeros == MAP_FAILED) break;
        view.cutShort.store(true);
        return;
    }
    passOn(signal, info, context);
}

void installHandler() {
    systemPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &earlierBusAction);
}

int takeEntry() {
    for (int i = 0; i < kMaxViews; ++i) {
        bool expected = false;
        if (views[i].taken.compare_exchange_strong(expected, true)) return i;
    }
    return -1;
}

}  // namespace

std::unique_ptr<FileView> FileView::map(const File& file, std::uint64_t length) {
    faults::check("map", file.path());
    if (length == 0 || length != static_cast<std::size_t>(length)) return nullptr;
    std::call_once(handlerInstalled, installHandler);
    const int slot = takeEntry();
    if (slot < 0) return nullptr;
    void* mapped = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, file.fd_, 0);
    if (mapped == MAP_FAILED) {
        views[slot].taken.store(false);
        return nullptr;
    }
    ViewEntry& entry = views[slot];
    entry.cutShort.store(false);
    entry.length.store(static_cast<std::size_t>(length));
    entry.start.store(reinterpret_cast<std::uintptr_t>(mapped));
    return std::unique_ptr<FileView>(
        new FileView(static_cast<const std::uint8_t*>(mapped), static_cast<std::size_t>(length), slot));
}

FileView::FileView(const std::uint8_t* start, std::size_t length, int slot)
    : start_(start), length_(length), slot_(slot) {}

FileView::~FileView() {
    ViewEntry& entry = views[slot_];
    entry.start.store(0);
    ::munmap(const_cast<std::uint8_t*>(start_), length_);
    entry.taken.store(false);
}

bool FileView::cutShort() const { return views[slot_].cutShort.load(std::memory_order_relaxed); }

namespace {
// Widened to whole system pages, cut at the view's end.
void advise(const std::uint8_t* start, std::size_t viewLength, std::size_t offset, std::size_t length, int advice) {
    if (offset >= viewLength) return;
    const std::size_t first = offset & ~(systemPage - 1);
    const std::size_t end = std::min(offset + length, viewLength);
    ::madvise(const_cast<std::uint8_t*>(start) + first, end - first, advice);
}
}  // namespace

void FileView::release(std::size_t offset, std::size_t length) { advise(start_, length_, offset, length, MADV_DONTNEED); }

}  // namespace zestrel::platform
