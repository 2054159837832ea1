// COutput: received text into the output pane, with its sounds, unseen-text
// mark and review-deadline reports (see Output.h).
#include "terminal/Output.h"

// Norva
#include "platform/Cp437.h"

namespace norva {

namespace {
constexpr char kBel = 7;
constexpr int kChannelsPerTnc = 21;
}  // namespace

COutput::COutput(int slot, int rows, int columns, OutputEvents& events)
    : slot_(slot),
      tnc_(slot >= 1 ? (slot - 1) / kChannelsPerTnc + 1 : 0),
      channel_(slot >= 1 ? (slot - 1) % kChannelsPerTnc : 0),
      events_(events),
      window_(rows, columns)
{
    window_.setInsertMode(false);
    window_.setWordWrap(false);
}

void COutput::focusIn()
{
    focus_ = true;
    jumpToEnd_ = true;
    events_.becameTopLink(slot_);
}

void COutput::append(std::string_view oemBytes, int colourClass)
{
    if (oemBytes.empty())
        return;
    if (jumpToEnd_) {
        jumpToEnd_ = false;
        window_.jumpToEnd();
    }
    const bool beep = events_.messageBeep(slot_);
    if (beep && oemBytes.find(kBel) != std::string_view::npos)
        events_.playSound(slot_, kBellSound);

    // Longer texts go through the staging buffer in pieces; nothing is lost.
    for (std::size_t at = 0; at < oemBytes.size(); at += staging_.size())
        appendPiece(oemBytes.substr(at, staging_.size()), colourClass);

    if (channel_ == 0)
        return;
    const bool top = events_.isTopLink(slot_);
    if (beep)
        events_.playSound(slot_, top ? kThisChannelSound : kOtherChannelSound);
    if (!(top && events_.mainWindowActive()))
        events_.markUnseen(slot_);
}

void COutput::appendPiece(std::string_view oem, int colourClass)
{
    std::size_t n = 0;
    for (char byte : oem)
        staging_[n++] = cp437ToUnicode(static_cast<unsigned char>(byte));
    window_.append({staging_.data(), n}, colourClass);
}

void COutput::clear()
{
    window_.clear();
}

void COutput::userAction()
{
    if (focus_)
        events_.restartReviewDeadline(slot_);
}

void COutput::key(CaretKey key, bool shift, bool ctrl)
{
    userAction();
    window_.key(key, shift, ctrl);
}

void COutput::mousePress(int row, int column)
{
    userAction();
    window_.mousePress(row, column);
}

void COutput::mouseMove(int row, int column)
{
    userAction();
    window_.mouseMove(row, column);
}

void COutput::mouseRelease(int row, int column)
{
    userAction();
    window_.mouseRelease(row, column);
}

void COutput::scrollLines(int n)
{
    userAction();
    window_.scrollLines(n);
}

void COutput::scrollPages(int n)
{
    userAction();
    window_.scrollPages(n);
}

void COutput::scrollTo(int position)
{
    userAction();
    window_.scrollTo(position);
}

CTextWindow::SearchResult COutput::search(std::string_view needleUtf8)
{
    return window_.search(needleUtf8);
}

CTextWindow::SearchResult COutput::searchFromOldest(std::string_view needleUtf8)
{
    return window_.searchFromOldest(needleUtf8);
}

}  // namespace norva
