// TransferStatusWindow: the modeless "Transfer Status" window. It shows the
// send queue of one channel (the job being sent included) and its file
// reception, and lets the operator pause and resume the queue, take waiting
// jobs out, end the running ones, reorder the queue and send more files.
// Its figures are fetched from the engine without waiting for it: a request
// is posted and the answer comes back to the GUI thread as plain data.
#pragma once

// std
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Qt
#include <QDialog>
#include <QTimer>

// Norva
#include "transfer/TransferStatus.h"

class QComboBox;
class QPushButton;
class QTreeWidget;

namespace norva {

class EngineLink;
class Profile;
class TransferCommands;

// What one request brings back from the engine.
struct TransferSnapshot {
    std::vector<std::pair<int, int>> channels;  // (tnc, channel) of every connection channel
    std::vector<int> busySlots;                 // channels that send, queue or receive
    std::optional<TransferStatus> shown;        // the channel the window shows
};

class TransferStatusWindow : public QDialog {
    Q_OBJECT
public:
    // The lists are rebuilt this often (and at once after every button).
    static constexpr int kRebuildMs = 10000;

    TransferStatusWindow(EngineLink* link, TransferCommands& commands, Profile& profile, int slot,
                         QWidget* parent = nullptr);
    ~TransferStatusWindow() override;

    int slot() const { return slot_; }
    // Shows another channel (the TNC and channel lists do the same).
    void showSlot(int slot);
    // Asks the engine for fresh figures; the lists follow when they arrive.
    void refresh();
    void setRebuildInterval(int ms) { timer_.setInterval(ms); }
    const std::optional<TransferStatus>& shown() const { return snapshot_.shown; }

    QTreeWidget* queueList() const { return queueList_; }
    QTreeWidget* receiveList() const { return receiveList_; }
    QPushButton* button(const char* objectName) const;

    // The buttons' work (public for the tests).
    void halt();
    void resume();
    void removeSelected();
    void cancelSelected();
    void moveSelected(bool up);
    void sendText();
    void sendBinary();

signals:
    // The lists were rebuilt from a fresh answer.
    void rebuilt();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build();
    void apply(TransferSnapshot snapshot, std::uint64_t generation);
    void fillChannelLists();
    void fillList(QTreeWidget* list, const std::vector<TransferRow>& rows);
    void alignColumns();
    void updateButtons();
    void tncChosen(int index);
    void channelChosen(int index);
    // A waiting job as the list showed it; the name guards against a new job
    // that took the address of one that ended meanwhile.
    struct ListedJob {
        const CChannelJob* job = nullptr;
        std::string name;
        std::string type;
    };
    std::vector<ListedJob> selectedQueued() const;
    // Runs fn(channel) on the engine thread, then rebuilds.
    template <class F>
    void onChannel(F fn);
    void savePosition();

    EngineLink* link_;
    TransferCommands& commands_;
    Profile& profile_;
    int slot_;
    std::uint64_t generation_ = 0;
    TransferSnapshot snapshot_;
    QTimer timer_;
    bool filling_ = false;
    QComboBox* tncList_ = nullptr;
    QComboBox* channelList_ = nullptr;
    QTreeWidget* queueList_ = nullptr;
    QTreeWidget* receiveList_ = nullptr;
};

}  // namespace norva
