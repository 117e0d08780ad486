#pragma once
// The main window: document area, menus, toolbar with the zoom box, status bar,
// the palette and property panes, and the one place every command is routed.
#include "app/commands.h"
#include "app/griddialog.h"
#include "model/sampledata.h"
#include <QHash>
#include <QMainWindow>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMenu;
class QPrinter;
class QPrintPreviewDialog;

namespace quillon {

class AppContext;
class DocumentWindow;
class PropertyGrid;
class FieldPalette;
class TransferController;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppContext& ctx, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The window's load steps; false when a file it needs could not be read
    // (already reported): the program ends.
    bool Form_Load();

    // Routes one command; then refreshes the command states.
    void Execute(Cmd id);
    // Enabled, checked and text states of every command from the active document.
    void Update();

    QAction* action(Cmd id) const { return m_actions.value(int(id)); }
    QComboBox* zoomBox() const { return m_zoomBox; }
    QMdiArea* mdiArea() const { return m_mdi; }
    QDockWidget* pane(Cmd id) const;
    DocumentWindow* activeDocument() const;
    QList<DocumentWindow*> documents() const;

    long m_lNewDocumentCount = 0;
    FieldPalette* m_frmToolbox = nullptr;
    PropertyGrid* m_frmProperty = nullptr;

    // File and data-exchange commands.
    DocumentWindow* NewDocument(bool ask);
    void OpenDocument();
    void mnuFileSave_Click();
    void SaveDocumentAs();
    void ExportAll();
    void ExportFormat();
    void ExportText();
    void ExportShopName();
    void ImportAll();
    void ImportFormat();
    void ImportText();
    void ImportShopName();
    // One new document per format record of the file (empty paths: data that did
    // not arrive). Returns the number of documents opened.
    int ImportReceivedData(const QString& formatFile, const QString& textFile,
                           const QString& shopNameFile, int model);
    // A label file or a format data file into a new document (recent files, drops).
    bool OpenInNewDocument(const QString& path);

    // Scale communication.
    void ShowScaleList();
    void SendToScales();
    void ReceiveFromScale();
    // Scale > Transfer History; a resend chosen there runs once it has closed.
    void ShowTransferHistory();
    // Sends the active label to `addresses` again, the picker opening with exactly those
    // ticked; refused when the active label is not `label`.
    void SendAgain(const QStringList& addresses, const QString& label);
    TransferController* transfer() const { return m_transfer; }
    // The scale picker of send and receive; tests replace it (multi-selection in,
    // cancel flag and addresses joined by ";" out).
    using ScalePickerHook = std::function<std::pair<bool, QString>(bool multiSelect)>;
    void SetScalePicker(ScalePickerHook picker) { m_pickScales = std::move(picker); }

    // Editing commands on the active document's selection (clipboard, arrange, grid).
    void EditCommand(Cmd id);
    // The canvas's context menu, built from the commands.
    void ShowCanvasMenu(const QPoint& globalPos);
    QMenu* canvasMenu() const { return m_canvasMenu; }

    // Printing and picture export of the active label.
    void PrintPreview();
    void PrintDocument();
    void ExportPdf();
    void ExportPng();
    // The print dialog (true: print) and the preview window; tests replace them.
    using PrintDialogRunner = std::function<bool(QPrinter&)>;
    using PreviewRunner = std::function<void(QPrintPreviewDialog&)>;
    void SetPrintDialogRunner(PrintDialogRunner run) { m_runPrintDialog = std::move(run); }
    void SetPreviewRunner(PreviewRunner run) { m_runPreview = std::move(run); }

    // The scale-model chooser of New; tests replace it. Returns the model index.
    using ModelChooser = std::function<int()>;
    void SetModelChooser(ModelChooser chooser) { m_chooseModel = std::move(chooser); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddCommandControl(QMenu* menu, Cmd id, const QString& controlName, bool beginGroup);
    QAction* command(Cmd id, const QString& controlName);
    void CreateMenus();
    void CreateToolbar();
    bool CreatePanes();
    void RestorePlacement();
    void StorePlacement();
    void ChooseLanguage(const QString& language);
    void Zoom(Cmd id);
    void TileWindows(bool horizontal);
    void EditBarcodeFormats();
    // The sample item the document is previewed with: the user's, with the label's barcode format.
    SampleItem SampleFor(const DocumentWindow* doc) const;
    void ApplySample(DocumentWindow* doc, bool preview);
    // The label's barcode format after it was opened from or saved to `path`.
    void LabelFileOpened(DocumentWindow* doc, const QString& path);
    void LabelFileSaved(DocumentWindow* doc);
    void FillWindowList();
    void FillRecentFiles();
    void AttachDocument(DocumentWindow* doc);
    void DocumentActivated();
    void CreateTransfer();
    void CreateEditMenus(QMenu* edit, QMenu* view);
    void CreateArrangeToolbar();
    void UpdateEditCommands(DocumentWindow* doc);
    void ApplyGrid(DocumentWindow* doc);
    void ShowGridSettings();
    void ShowLabelCheck(DocumentWindow* doc);

    AppContext& m_ctx;
    QMdiArea* m_mdi = nullptr;
    QHash<int, QAction*> m_actions;
    QComboBox* m_zoomBox = nullptr;
    QLabel* m_statusText = nullptr;
    QDockWidget* m_panePalette = nullptr;
    QDockWidget* m_paneProperty = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_arrangeMenu = nullptr;
    QMenu* m_canvasMenu = nullptr;
    GridSettings m_grid = GridSettings::Load();
    SampleItem m_sample;
    QList<BarcodeFormat> m_barcodeFormats;
    QList<QAction*> m_windowListActions;
    ModelChooser m_chooseModel;
    TransferController* m_transfer = nullptr;
    ScalePickerHook m_pickScales;
    QStringList m_preselectedScales; // the next picker's ticks (a resend)
    PrintDialogRunner m_runPrintDialog;
    PreviewRunner m_runPreview;
};

} // namespace quillon
