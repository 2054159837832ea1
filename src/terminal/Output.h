// COutput: the model of a channel window's output pane. Received text arrives
// as on-air (CP437) bytes, is converted to Unicode through a fixed staging
// buffer and written into the pane's text window; bell, arrival sounds, the
// unseen-text mark and the review deadline are reported to OutputEvents. The
// Qt view owns the model, paints its text window and forwards user actions to
// the methods below (not to the text window directly, so that the review
// deadline is kept).
#pragma once

// std
#include <array>
#include <string>
#include <string_view>

// Norva
#include "terminal/TextWindow.h"

namespace norva {

// What the output pane asks and tells the rest of the program. Slots are the
// channel slots 1..105.
class OutputEvents {
public:
    virtual ~OutputEvents() = default;
    // The channel's MessageBeep setting (false when the channel does not exist).
    virtual bool messageBeep(int slot) const = 0;
    // Whether the slot is TopLink, and whether the main window is the active one.
    virtual bool isTopLink(int slot) const = 0;
    virtual bool mainWindowActive() const = 0;
    // Play a sound event by its name (the player applies the Sound switch).
    virtual void playSound(int slot, std::string_view event) = 0;
    // The channel got text the operator has not seen: mark it in the title.
    virtual void markUnseen(int slot) = 0;
    // A key, mouse or scroll action while the pane has the focus.
    virtual void restartReviewDeadline(int slot) = 0;
    // The pane got the focus: the slot becomes TopLink, the channel bar shows it.
    virtual void becameTopLink(int slot) = 0;
};

class COutput {
public:
    // Appended text is converted and written in pieces of at most
    // kStagingSize - 1 bytes, so one long append never becomes one huge
    // conversion and repaint.
    static constexpr std::size_t kStagingSize = 1500;
    static constexpr std::string_view kBellSound = "Klingel";
    static constexpr std::string_view kThisChannelSound = "Text auf diesem Kanal eingelaufen";
    static constexpr std::string_view kOtherChannelSound = "Text auf anderem Kanal eingelaufen";

    // rows/columns: OutRows/OutCols. The ring starts cleared, overwrite mode,
    // no word wrap.
    COutput(int slot, int rows, int columns, OutputEvents& events);

    int slot() const { return slot_; }
    int tnc() const { return tnc_; }
    int channel() const { return channel_; }

    // For painting and for view-driven settings (visible area, time source,
    // repaint handler, display rate).
    CTextWindow& window() { return window_; }
    const CTextWindow& window() const { return window_; }

    // OutputScrollbar (default 1), read and written by whoever creates the pane.
    bool scrollBarShown() const { return scrollBar_; }
    void setScrollBarShown(bool on) { scrollBar_ = on; }

    // Focus: sets the jump-to-end flag and reports becameTopLink.
    void focusIn();
    void focusOut() { focus_ = false; }
    bool hasFocus() const { return focus_; }
    bool jumpToEndPending() const { return jumpToEnd_; }

    // Received or program text in a colour class (0..9).
    void append(std::string_view oemBytes, int colourClass);
    void clear();

    // User actions; each restarts the review deadline while the pane has the focus.
    void key(CaretKey key, bool shift, bool ctrl);
    void mousePress(int row, int column);
    void mouseMove(int row, int column);
    void mouseRelease(int row, int column);
    void scrollLines(int n);
    void scrollPages(int n);
    void scrollTo(int position);

    std::string copySelection() const { return window_.copySelection(); }
    CTextWindow::SearchResult search(std::string_view needleUtf8);
    CTextWindow::SearchResult searchFromOldest(std::string_view needleUtf8);

private:
    void userAction();
    void appendPiece(std::string_view oem, int colourClass);

    int slot_;
    int tnc_;
    int channel_;
    OutputEvents& events_;
    CTextWindow window_;
    bool scrollBar_ = true;
    bool focus_ = false;
    bool jumpToEnd_ = false;
    std::array<char32_t, kStagingSize - 1> staging_{};
};

}  // namespace norva
