// The window of one running sub net: the PC program directory, the unit directory and the
// unit's memory list side by side, transfers between them, the unit commands, an information
// bar, a progress bar and a stop button. The window lives on the GUI thread; its control and
// configuration run on the sub net's own thread and are reached only by messages, and every
// event of the control comes back queued.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "dnc/config/ConfigStore.h"
#include "dnc/manager/ControlSettings.h"
#include "dnc/manager/SubNet.h"
#include "dnc/window/ControlPropertiesDialog.h"
#include "dnc/window/ConversionLibraries.h"
#include "dnc/window/FileList.h"
#include "dnc/window/HistoryView.h"
#include "dnc/window/OperatorDialogs.h"
#include "dnc/window/RevisionsView.h"
#include "dnc/window/config/frmConfigDNCConversions.h"
#include "dnc/window/frmConfirmConversion.h"
#include "dnc/window/rules/PaneShares.h"
#include "dnc/window/rules/QueuedRefreshes.h"
#include "dnc/window/rules/SelectionSummary.h"
#include "dnc/window/rules/TransferPlan.h"
#include "dnc/window/rules/UnitCommands.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTimer;
class QToolBar;

namespace dnc::window {

// The format by which a dragged list entry names the list it comes from.
inline constexpr char kListDragFormat[] = "application/x-ferixdnc-list";

class WindowLink;
class frmConfigDNC;

// The one-line bar of the current activity; a click shows the last error.
class InfoBar : public QLabel {
    Q_OBJECT
public:
    explicit InfoBar(QWidget* parent);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

struct frmDNCOptions {
    SubNet::PortFactory ports;  // the control's port (default: the POSIX serial port)
    SubNet::Operation setup;    // runs on the sub net's thread when the control is made
    // Where the sub net's ended transfers are recorded (none: not recorded); it outlives the
    // window. The History view reads `history` (empty: the window shows no history).
    history::TransferJournal* journal = nullptr;
    std::filesystem::path history;
    // The site this PC's records carry when `history` is shared by several sites (empty: a
    // history of this PC's own); the History view shows that site's rows only.
    std::string historySite;
    // How many records wait for a shared history on a server (the recorder's count: it reads no
    // database); none: the window does not tell.
    std::function<std::uint64_t()> historyBehind;
    // Where programs from the units are approved (none: the window shows no revisions); it
    // outlives the window.
    RevisionDesk* revisions = nullptr;
    // Told every event of the sub net after the window has handled it (the automation).
    std::function<void(const SubNetEvent&)> told;
    // Where include and exclude find the conversion libraries.
    LibraryLocation conversionLibraries = defaultLibraryLocation();
    // A line that could not be switched on when the window opened is tried again after this
    // long, until it runs or the operator starts or stops it himself.
    std::chrono::milliseconds lineRetry{10000};
};

class frmDNC : public QMainWindow {
    Q_OBJECT
public:
    using Options = frmDNCOptions;

    frmDNC(ConfigStore& store, int ID, OperatorDialogs& dialogs, Options options = {},
           QWidget* parent = nullptr);
    ~frmDNC() override;

    // The start sequence: view state and configuration read, views built, communication
    // started (its failure lands in the information bar).
    void Initialize();
    int ID() const { return id_; }

    // Shows a text in the information bar (for owners that report on the sub net).
    void showInformation(const QString& text);

    // Operations of the menus, buttons and tool bar.
    void actTransferPCFerix();
    void actTransferFerixPC();
    void actRemove();
    void actFerixLst();
    // Asks whether to go on, then shows the configuration dialog of the running control.
    void actConfigDNC();
    // Include the selected PC programs into the unit directory, exclude the selected unit
    // directory programs into the PC directory (both through the unit's chains), delete the
    // selected unit directory programs.
    void actConversionIn();
    void actConversionOut();
    void actConversionRemove();
    // The confirmation of include and exclude (null before the first one).
    frmConfirmConversion* confirmConversion() const { return confirm_; }
    void StartCommunication();
    void StopCommunication();
    void runUnitCommand(UnitCommand command);
    void editSourceProgram();
    void editFerixProgram();
    void showHelpContents();
    void showAbout();
    void showControlAbout();
    // Opens (or brings up) the History view of this sub net's transfers.
    void showTransferHistory();
    HistoryView* historyView() const { return historyView_; }
    // Opens the revisions of the program selected in the unit directory, or the sub net's
    // programs that wait for approval.
    void showRevisions();
    void showPendingPrograms();
    RevisionsView* revisionsView() const { return revisionsView_; }
    RevisionsView* pendingView() const { return pendingView_; }
    // Reads how many programs wait (off the window's thread) and shows it in the status bar;
    // pendingCounted() tells when it is shown.
    void refreshPendingCount();
    QString pendingText() const;
    // The configuration dialog the window owns for its whole life.
    frmConfigDNC* configDialog() const { return configDialog_; }
    // The chain editor of the configuration dialog (null before its first use).
    frmConfigDNCConversions* chainDialog() const { return chainDialog_; }
    // Opens (or brings up) the control's properties; only while communication is off.
    void showControlProperties();
    ControlPropertiesDialog* controlPropertiesDialog() const { return controlProperties_; }

    void RefreshPCDirectory(const QString& path);
    void RefreshFerixDirectory(int unit);
    void RefreshFerixMemoryList(int unit);

    // State for the owner and for tests.
    int selectedUnit() const;
    bool batchRunning() const { return batchRunning_; }
    bool communicating() const { return communicating_; }
    // The line failed to switch on and is tried again.
    bool lineRetrying() const { return lineRetrying_; }
    bool closed() const { return closed_; }
    QString infoText() const;
    PaneShares paneShares() const { return shares_; }
    const ControlSettings& settings() const { return settings_; }
    QString listDirPath(int unit) const;
    // Selects unit 1..10 in the unit selector as the operator does (0: none).
    void selectUnit(int unit);
    // The sub net behind the window (null before Initialize).
    SubNet* subNet() { return subNet_.get(); }
    // Runs the events that the sub net delivered so far.
    void takeEvents();

signals:
    // The window has closed: line released, configuration and view state stored.
    void subNetClosed(int ID);
    // A memory list was shown (or found not ready) for the unit.
    void memoryListShown(int unit);
    // The count of waiting programs is shown.
    void pendingCounted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPendingCount(std::size_t pending);
    // Asks the recorder (no database) how far the shared history is behind and says so.
    void showHistoryBehind();
    void buildMenus();
    void buildToolBar();
    void buildPanes();
    void buildStatusBar();
    QAction* action(const char* name, int text, void (frmDNC::*slot)(), int tip = 0);
    void loadTexts();
    void handle(const SubNetEvent& event);
    void configChanged(const ControlSettings& settings);
    void layoutPanes();
    void applyProtocolTable();
    void applyShowStop(bool showButton, std::uint8_t direction);
    void setElementEnabled(const QString& name, bool enabled);
    void onUnitSelected();
    void setInfo(const QString& text);
    void showLastError();
    // A refresh for a change that the line reported waits in the background: the units' own
    // requests go first.
    void refreshMemoryList(int unit, SubNet::Urgency urgency);
    void fillMemoryList(int unit, const comm::MemoryList& list);
    void setMemoryLabels(bool ready, bool selected);
    void updateSummary(QListWidget* list, QLabel* files, QLabel* size);
    void watchSummary(QListWidget* list, QLabel* files, QLabel* size);
    Selection selectionOf(QListWidget* list) const;
    // Tells the operator why a plan is refused; true when it is.
    bool refused(const TransferPlan& plan);
    void runPlan(const TransferPlan& plan, bool toUnit);
    void runRemovePlan(const TransferPlan& plan);
    using FileRequest =
        std::function<void(comm::ctrlFerixComm&, std::uint8_t unit, const ListEntry& file)>;
    void runBatch(const TransferPlan& plan, const std::vector<QString>& infos,
                  const FileRequest& request);
    void finishBatch(const TransferPlan& plan);
    void editFile(const QString& path);
    void saveViewState();
    void applyShares();
    void applyMinimumSize();
    void placeStopButton();
    void loadGeometry();
    QString text(int id) const;
    QString appTitle() const;
    void tellError(const QString& description, const QString& helpFile, int context);
    // A program transfer began or ended on the line.
    void transferNoted(bool began, const comm::TransferEnd& transfer);
    void applyLineState();
    void stopLineRetry();
    void runConversion(bool include);
    void updateControlPropertiesAvailability();

    ConfigStore& store_;
    const int id_;
    OperatorDialogs& dialogs_;
    Options options_;
    std::unique_ptr<WindowLink> link_;
    std::unique_ptr<SubNet> subNet_;
    ControlSettings settings_;
    std::array<QString, comm::kUnitCount> listDirPath_;
    PaneShares shares_;
    bool sharesApplied_ = false;
    QString lastErrorDescription_;
    QString lastErrorHelpFile_;
    int lastErrorContext_ = 0;
    bool hasLastError_ = false;
    int failedUnit_ = 0;           // the unit whose own transfer failed just now (0: none)
    QString unitTransferInfo_;     // the bar's text of the unit's transfer that runs
    QStringList settingProblems_;  // the stored settings' problems, as reported at start
    bool batchRunning_ = false;
    // Shared with the requests on the sub net's thread, which may outlast a closing window.
    std::shared_ptr<QueuedRefreshes> queuedRefreshes_ = std::make_shared<QueuedRefreshes>();
    bool communicating_ = false;
    QString lineError_;  // why the line could not be switched on (empty: it could)
    bool startFromMenu_ = false;
    bool lineRetrying_ = false;
    QTimer* lineRetryTimer_ = nullptr;
    bool transferRunning_ = false;
    std::uint8_t stopDirection_ = 0;
    bool closed_ = false;
    bool initialized_ = false;
    QPointer<HistoryView> historyView_;
    QPointer<RevisionsView> revisionsView_;
    QPointer<RevisionsView> pendingView_;
    QLabel* pendingPanel_ = nullptr;
    QLabel* behindPanel_ = nullptr;
    int revisionListener_ = 0;
    frmConfigDNC* configDialog_ = nullptr;
    QPointer<frmConfigDNCConversions> chainDialog_;
    QPointer<frmConfirmConversion> confirm_;
    std::unique_ptr<ConversionLibraries> libraries_;
    bool conversionRunning_ = false;
    std::unique_ptr<ControlPropertiesAccess> controlAccess_;
    QPointer<ControlPropertiesDialog> controlProperties_;

    QComboBox* comboFerixAdr_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QGroupBox* frDir_ = nullptr;
    QGroupBox* frFerixDir_ = nullptr;
    QStackedWidget* rightStack_ = nullptr;
    QGroupBox* frFerixLst_ = nullptr;
    QGroupBox* frFerix_ = nullptr;
    FileList* listDir_ = nullptr;
    FileList* listFerixDir_ = nullptr;
    FileList* listFerixLst_ = nullptr;
    QComboBox* comboDirPattern_ = nullptr;
    QComboBox* comboFerixDirPattern_ = nullptr;
    QLineEdit* txtListDirPath_ = nullptr;
    QLineEdit* txtFerixFileName_ = nullptr;
    QLabel* lblDirSelFile_ = nullptr;
    QLabel* lblDirSelSize_ = nullptr;
    QLabel* lblFerixDirSelFile_ = nullptr;
    QLabel* lblFerixDirSelSize_ = nullptr;
    QLabel* lblFerixLstSelFile_ = nullptr;
    QLabel* lblFerixLstSelSize_ = nullptr;
    QLabel* lblFree_ = nullptr;
    QLabel* lblFerixFreeMem_ = nullptr;
    QLabel* lblFreeBytes_ = nullptr;
    QLabel* lblSection_ = nullptr;
    QLabel* lblFerixMemSection_ = nullptr;
    QLabel* lblFerixLstChanged_ = nullptr;
    QLabel* lblFerixNotReady_ = nullptr;
    QLabel* lblFerixNotSelected_ = nullptr;
    QLabel* lblFerixLstSelBytes_ = nullptr;
    QPushButton* cmdTransferPCFerix_ = nullptr;
    QPushButton* cmdTransferFerixPC_ = nullptr;
    QPushButton* cmdStop_ = nullptr;
    InfoBar* infoBar_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QWidget* progressPanel_ = nullptr;
    QLabel* linePanel_ = nullptr;
    QLabel* timePanel_ = nullptr;
    QLabel* datePanel_ = nullptr;
    QToolBar* toolBar_ = nullptr;
};

}  // namespace dnc::window
