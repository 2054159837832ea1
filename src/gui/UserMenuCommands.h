// UserMenuCommands: the four user menus of the menu bar (run, connect, TNC
// commands, texts). Fills each popup from its file, runs the chosen entry
// (programs here, without a shell; channel work on the engine thread), and
// edits a menu file in the menu editor, reloading it on OK.
#pragma once

// std
#include <array>
#include <filesystem>
#include <functional>
#include <string>

// Qt
#include <QDialog>
#include <QList>
#include <QObject>
#include <QTimer>

// Norva
#include "app/UserMenus.h"
#include "platform/Programs.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QWidget;

namespace norva {

class EngineLink;
class Profile;
class ScriptOperator;

// The menu editor: "Menu: <path>", the file text in one edit field.
class MenuEditorDialog : public QDialog {
    Q_OBJECT
public:
    MenuEditorDialog(const QString& path, const QString& text, QWidget* parent);
    QString text() const;
    QPlainTextEdit* editor() const { return edit_; }

private:
    QPlainTextEdit* edit_;
};

class UserMenuCommands : public QObject {
    Q_OBJECT
public:
    // The slot the menus act on: the active channel window's, -1 without one.
    using CurrentSlot = std::function<int()>;
    UserMenuCommands(EngineLink* link, Profile& profile, std::filesystem::path programDir, ScriptOperator* op,
                     CurrentSlot currentSlot, QWidget* parent);

    void setEngine(EngineLink* link) { link_ = link; }
    // The popup the entries of a menu are appended to.
    void attach(UserMenuKind kind, QMenu* popup);
    // Reads every menu file and fills the popups (start-up).
    void loadAll();
    void reload(UserMenuKind kind);
    // The edit command: the menu editor on the file, then the menu again.
    void edit(UserMenuKind kind);
    // Choosing entry index (0-based) of a menu, acting on the slot's channel.
    void choose(UserMenuKind kind, int index, int slot);

    const UserMenu& menu(UserMenuKind kind) const { return menus_[index(kind)].menu; }
    QList<QAction*> entryActions(UserMenuKind kind) const { return menus_[index(kind)].actions; }
    std::filesystem::path path(UserMenuKind kind) const;
    DetachedPrograms& programs() { return programs_; }

signals:
    // What loading a menu file cut or left out, for the status line.
    void problems(const QString& text);

private:
    struct Installed {
        QMenu* popup = nullptr;
        QAction* separator = nullptr;
        QList<QAction*> actions;
        UserMenu menu;
    };
    static int index(UserMenuKind kind) { return static_cast<int>(kind); }
    void install(UserMenuKind kind);
    bool channelUsable(int slot) const;
    void run(const UserMenuEntry& entry);
    void connectEntry(const UserMenuEntry& entry, int slot);
    void tncEntry(const UserMenuEntry& entry, int slot);
    void textEntry(const UserMenuEntry& entry, int slot);

    EngineLink* link_;
    Profile& profile_;
    std::filesystem::path programDir_;
    ScriptOperator* operator_;
    CurrentSlot currentSlot_;
    QWidget* parent_;
    std::array<Installed, 4> menus_;
    DetachedPrograms programs_;
    QTimer reaper_;
};

}  // namespace norva
