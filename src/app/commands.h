#pragma once
// Command ids: every menu entry, toolbar button and shortcut carries one, and the
// main window's Execute and Update handlers act on the id alone.
#include <QString>

namespace quillon {

// The text section of the main window's captions and messages.
inline const QString kMainSection = QStringLiteral("frmMain");

// A menu caption's mnemonic marker does not belong in a title; nor does the
// "(&A)" that Chinese captions add for it.
inline QString WithoutMnemonic(QString text)
{
    for (qsizetype at = text.indexOf(QStringLiteral("(&")); at >= 0; at = text.indexOf(QStringLiteral("(&"), at)) {
        if (at + 3 < text.size() && text.at(at + 2) != QLatin1Char('&') && text.at(at + 3) == QLatin1Char(')'))
            text.remove(at, 4);
        else
            at += 2;
    }
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

enum class Cmd : int {
    mnuFileNew = 100,
    mnuFileOpen = 101,
    mnuFileClose = 102,
    mnuFileSave = 103,
    mnuFileSaveAs = 104,
    mnuFileExit = 105,
    mnuFileExport = 108,
    mnuFileImport = 109,
    mnuFileExportAll = 111,
    mnuFileExportFormat = 112,
    mnuFileExportText = 113,
    mnuFileExportShopname = 114,
    mnuFileImportAll = 115,
    mnuFileImportFormat = 116,
    mnuFileImportText = 117,
    mnuFileImportShopname = 118,
    mnuEditUndo = 120,
    mnuEditRedo = 121,
    mnuEditOption = 122,
    mnuEditMorviBarcode = 123,
    mnuSendToScale = 130,
    mnuSendReceive = 131,
    mnuSend = 132,
    mnuTransferHistory = 133,
    mnuViewStatusBar = 141,
    panPLUFields = 142,
    panProperty = 143,
    mnuLanguage = 144,
    mnuID_VIEW_LANGUAGE_ENGLISH = 145,
    mnuID_VIEW_LANGUAGE_CHINESE = 146,
    mnuID_VIEW_LANGUAGE_OTHER = 147,
    mnuWindowCascade = 150,
    mnuWindowTileHori = 151,
    mnuWindowTileVert = 152,
    mnuHelpAbout = 160,
    tlbZoomOut = 170,
    tlbZoomIn = 171,
    tlbZoomComboBox = 172,
    // Printing and picture export of the active label.
    mnuFilePrintPreview = 180,
    mnuFilePrint = 181,
    mnuFileExportPdf = 182,
    mnuFileExportPng = 183,
    // Editing several fields, the clipboard, arranging.
    mnuEditCut = 190,
    mnuEditCopy = 191,
    mnuEditPaste = 192,
    mnuEditDelete = 193,
    mnuEditSelectAll = 194,
    mnuEditText = 195,
    mnuEditProperties = 196,
    mnuArrange = 200,
    mnuAlignLeft = 201,
    mnuAlignRight = 202,
    mnuAlignTop = 203,
    mnuAlignBottom = 204,
    mnuAlignCentre = 205,
    mnuAlignMiddle = 206,
    mnuDistributeH = 207,
    mnuDistributeV = 208,
    mnuSameWidth = 209,
    mnuSameHeight = 210,
    // Zoom to fit and the grid.
    mnuViewZoomFit = 222,
    mnuViewGrid = 223,
    mnuViewSnapGrid = 224,
    mnuViewGridSettings = 225,
    mnuViewPreview = 226,
    mnuEditCheckLabel = 227,
    mnuEditSample = 228,
    mnuWindowList = 35000,
};

} // namespace quillon
