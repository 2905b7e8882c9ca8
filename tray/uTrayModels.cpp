#include "uTrayModels.h"

#include <algorithm>

#include "qvFiles.h"
#include "qvStrings.h"
#include "uCommonUtils.h"

namespace {

constexpr size_t kMaxKeptEvents = 1000;

}  // namespace

void THostsCopySession::Expect(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(lock_);
    name_ = fileName;
    expected_ = true;
}

std::string THostsCopySession::FileName() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return name_;
}

bool THostsCopySession::Accept(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (!expected_ || fileName.empty() || !SameText(fileName, name_)) return false;
    expected_ = false;
    return true;
}

void THostsCopySession::Subscribe(const void* owner, std::function<void(const std::string&, int32_t)> onAnswer)
{
    std::lock_guard<std::mutex> lock(lock_);
    owner_ = owner;
    onAnswer_ = std::move(onAnswer);
}

void THostsCopySession::Unsubscribe(const void* owner)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (owner_ != owner) return;  // a later manager has taken over
    owner_ = nullptr;
    onAnswer_ = nullptr;
}

bool THostsCopySession::Answered(const std::string& fileName, int32_t code) const
{
    std::function<void(const std::string&, int32_t)> onAnswer;
    {
        std::lock_guard<std::mutex> lock(lock_);
        onAnswer = onAnswer_;
    }
    if (!onAnswer) return false;
    onAnswer(fileName, code);
    return true;
}

std::string NewHostsCopyName()
{
    std::string name = MakeTempFileName();
    for (int attempt = 0; attempt < 100 && FileExists(name); ++attempt) name = MakeTempFileName();
    return name;
}


void TTrayEventQueue::PushFront(const TMSlotMessage& message, int32_t seq)
{
    std::lock_guard<std::mutex> lock(lock_);
    entries_.insert(entries_.begin(), TTrayEventEntry{message, false, seq});
    // A flood of events must not grow the tray without bound: the oldest go.
    if (entries_.size() > kMaxKeptEvents) entries_.resize(kMaxKeptEvents);
}

size_t TTrayEventQueue::Size() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return entries_.size();
}

bool TTrayEventQueue::HeadPending() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return !entries_.empty() && !entries_.front().Shown;
}

bool TTrayEventQueue::TakeHead(TTrayEventEntry& entry)
{
    std::lock_guard<std::mutex> lock(lock_);
    if (entries_.empty() || entries_.front().Shown) return false;
    entries_.front().Shown = true;
    entry = entries_.front();
    return true;
}

bool TTrayEventQueue::FindBySeq(int32_t seq, TTrayEventEntry& entry) const
{
    std::lock_guard<std::mutex> lock(lock_);
    for (const TTrayEventEntry& e : entries_)
        if (e.Seq == seq) {
            entry = e;
            return true;
        }
    return false;
}

std::vector<TTrayEventEntry> TTrayEventQueue::Snapshot() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return entries_;
}

void TTrayEventQueue::Clear()
{
    std::lock_guard<std::mutex> lock(lock_);
    entries_.clear();
}

std::string ReportProgress(const std::string& text, const TReportRows& rows)
{
    return text + " " + IntToStr(rows.RowCount) + " " + rows.OfText + " " + IntToStr(rows.Total);
}

void TReportRows::Reset()
{
    if (RowCount > 0 && RowCount < Total) {
        GivenUp.Total = Total;
        GivenUp.Left = Total - RowCount;
        GivenUp.First = Records.front();
    }
    std::vector<TMSlotMessage>().swap(Records);
    RowCount = 0;
    ItemCount = 0;
    Total = 0;
    Status.clear();
    Loading = false;
}

void TReportRows::BeginLoad()
{
    Reset();
    ++Asked;
}

bool TReportRows::Stalled(DWORD now)
{
    if (!Loading || now - LastRowTick < kReportStallMs) return false;
    // What came stays listed; a later row of the same dump still joins it.
    Loading = false;
    Status = ReportProgress(CutText, *this);
    return true;
}

int TTrustFeed::Request()
{
    const int id = nextId_++;
    requests_.push_back({id, false, -1, 0});
    return id;
}

void TTrustFeed::Abandon(int id)
{
    for (TRequest& request : requests_)
        if (request.Id == id) request.Abandoned = true;
}

void TTrustFeed::Forget(int id)
{
    requests_.erase(std::remove_if(requests_.begin(), requests_.end(), [id](const TRequest& r) { return r.Id == id; }),
                    requests_.end());
}

void TTrustFeed::AnswerEnded(int id)
{
    // Requests are answered in order: one before it has ended too.
    while (!requests_.empty() && requests_.front().Id <= id) requests_.pop_front();
}

TTrustFeed::TRow TTrustFeed::Take(int32_t total)
{
    TRow row;
    if (requests_.empty()) return row;  // nobody asked: beyond every total
    TRequest& request = requests_.front();
    if (request.Total < 0) request.Total = std::max<int32_t>(total, 0);
    row.Id = request.Id;
    row.Deliver = !request.Abandoned;
    row.HasEntry = request.Total > 0;
    if (request.Total > 0) ++request.Received;
    row.Completes = request.Received >= request.Total;
    if (row.Completes) requests_.pop_front();
    return row;
}
