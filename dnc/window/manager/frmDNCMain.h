// The network manager: the sixteen sub nets with their captions, a tick for each one that runs,
// On / Off / Show / Hide for the highlighted one, its start-with-the-program flag, the language
// and taskbar options, and the tray icon. Every sub-net window it starts lives on this thread;
// each sub net's control runs on the sub net's own thread. Closing the manager closes every
// running sub net (each stores its configuration) and stores the flags.
#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>

#include "dnc/config/ConfigStore.h"
#include "dnc/manager/Network.h"
#include "dnc/window/OperatorDialogs.h"
#include "dnc/window/frmDNC.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace dnc::window {

class frmDNCMain : public QMainWindow, public Network {
    Q_OBJECT
public:
    struct Options {
        frmDNC::Options subNet;      // how the sub-net windows reach their lines
        bool showInTaskbar = false;  // "ShowInTaskbar" on the command line
        bool trayAvailable = false;  // the desktop has a notification area
    };

    frmDNCMain(ConfigStore& store, OperatorDialogs& dialogs, Options options,
               QWidget* parent = nullptr);
    ~frmDNCMain() override;

    // Operator commands on the highlighted entry (nothing without one).
    void cmdStart();
    void cmdStop();
    void cmdShow();
    void cmdHide();
    // Highlights the entry of sub net 1..16.
    void highlight(int subNet);
    void chooseLanguage(std::uint16_t language);
    void setShowInTaskbar(bool shown);
    // The tray icon's double click: normal state, shown, in front.
    void restore();
    // Closes every running sub net and stores the flags; once only.
    void unload();

    // State for the owner and for tests.
    bool isRunning(int subNet) const { return running_[index(subNet)]; }
    bool isTicked(int subNet) const;
    bool startUpFlag(int subNet) const { return startUp_[index(subNet)]; }
    bool showInTaskbar() const { return showInTaskbar_; }
    bool startedUp() const { return startedUp_; }
    bool unloaded() const { return unloaded_; }
    frmDNC* subNetWindow(int subNet) const { return windows_[index(subNet)].get(); }
    QListWidget* list() const { return ListDNC_; }
    // Item 0 is the default language, then one per language of the program, by its own name;
    // each item's data is the language code.
    QList<QAction*> languageItems() const;

    // Network, on this window's thread.
    std::vector<SubNetEntry> subNetEntries() const override;
    void startSubNet(int subNet) override;
    void stopSubNet(int subNet) override;
    bool showSubNet(int subNet) override;
    bool hideSubNet(int subNet) override;
    SubNet* runningSubNet(int subNet) override;
    void postToNetwork(std::function<void()> work) override;
    void setObserver(NetworkObserver* observer) override { observer_ = observer; }
    RevisionDesk* revisionDesk() override { return options_.subNet.revisions; }

signals:
    // The manager has unloaded: every sub net closed, the flags stored.
    void managerUnloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static std::size_t index(int subNet) { return static_cast<std::size_t>(subNet - 1); }
    void buildWindow();
    void buildLanguageMenu(std::uint16_t current);
    void fillList();
    void placeAtLowerRight();
    void deferredStartUp();
    // Starts sub net N as the manager does; `show` for the operator's and the bus's start.
    void start(int subNet, bool show);
    void onSubNetClosed(int subNet);
    void tick(int subNet, bool ticked);
    void onItemChanged(QListWidgetItem* item);
    int highlighted() const;
    void applyTaskbarPresence();
    void addTrayIcon();

    ConfigStore& store_;
    OperatorDialogs& dialogs_;
    Options options_;
    std::array<std::unique_ptr<frmDNC>, 16> windows_;
    std::array<bool, 16> running_{};
    std::array<bool, 16> startUp_{};
    bool showInTaskbar_ = false;
    bool startedUp_ = false;
    bool unloaded_ = false;
    bool ticking_ = false;  // the program itself changes a tick
    NetworkObserver* observer_ = nullptr;

    QListWidget* ListDNC_ = nullptr;
    QCheckBox* chkOnStartUp_ = nullptr;
    QPushButton* cmdStart_ = nullptr;
    QPushButton* cmdStop_ = nullptr;
    QPushButton* cmdShow_ = nullptr;
    QPushButton* cmdHide_ = nullptr;
    QAction* mnuOptionsShowInTaskbar_ = nullptr;
    QActionGroup* languages_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace dnc::window
