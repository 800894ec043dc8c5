#pragma once
// A large MIF file's data section read ahead of the importer on a second thread, which also
// decodes its runs of plain point lines (the bulk of such a file) while the importer makes
// objects of the runs before. The importer reads every byte through it and takes a run's points
// where one starts, so it reads the same lines as it would alone and builds the same layer.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "foundation/OXUtils.h"

class TMifLookahead {
public:
    // Reads Path from Offset, a line start, to its end. Raises EImportError when the file cannot
    // be opened.
    TMifLookahead(const std::string& Path, size_t Offset);
    ~TMifLookahead();
    TMifLookahead(const TMifLookahead&) = delete;
    TMifLookahead& operator=(const TMifLookahead&) = delete;

    // Whether reading ahead pays for a file of Size bytes on this machine: a large file and a
    // second core.
    static bool Worthwhile(size_t Size);
    // The smallest file read ahead (tests make small files take this way).
    static void SetThreshold(size_t Bytes);

    // As TFileWindow::From, forward only: the bytes from Offset on, at least AtLeast of them
    // unless the file ends first, valid until the next call. Raises EImportError when the file
    // could not be read that far.
    std::string_view From(size_t Offset, size_t AtLeast);
    // The file's size as far as it is known (less once the file turns out to have shrunk).
    size_t Size() const { return FSize.load(std::memory_order_acquire); }

    // The run of plain point lines that starts at Offset, when one does and has at most Room
    // lines: its points and the offset behind its last line. Views stay valid until the next
    // call to From.
    struct TRun {
        const TPoint3D* Points = nullptr;
        int32_t Count = 0;
        size_t End = 0;
    };
    bool RunAt(size_t Offset, int32_t Room, TRun& Run);

private:
    struct TBatch;
    void Work();
    void ReadBatches();
    static void Decode(TBatch& Batch);
    std::unique_ptr<TBatch> Recycled();
    // The held batch that holds Offset, pulling finished ones as needed; null at the file's end.
    TBatch* BatchAt(size_t Offset);
    bool Pull();

    std::string FPath;
    int FFd = -1;
    size_t FStart = 0;
    std::atomic<size_t> FSize{0};
    std::thread FWorker;

    // Shared with the worker.
    std::mutex FMutex;
    std::condition_variable FProduced, FConsumed;
    std::deque<std::unique_ptr<TBatch>> FReady;
    std::vector<std::unique_ptr<TBatch>> FFree;
    bool FStop = false, FDone = false;
    std::string FFailure;

    // The importer's own.
    std::deque<std::unique_ptr<TBatch>> FHeld;
    std::string FJoined;
};
