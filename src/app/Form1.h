#pragma once

#include "app/FormServices.h"
#include "app/RowActions.h"
#include "urllist/UrlListCommands.h"

#include <QString>
#include <QStringList>

#include <memory>

class CaptureRun;
class ListImport;
class OutputFolderChoice;
class IFormView;
class UrlListModel;

// The main window's logic: one handler per control event.
class Form1
{
public:
    Form1(IFormView &view, UrlListModel &list, const FormServices &services);
    ~Form1();

    void Form_Load();
    void Form_Unload();
    // Keys pressed in the window: Escape stops a run.
    void Form_KeyDown(int keyCode, int shift);

    // Hover handlers: set the window's pointer unless a run holds the hourglass.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void ListView1_MouseMove();
    void PushButton_MouseMove();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton4_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    // Runs every row again, whatever the last run left.
    void mnuStartOver_Click();
    void ListView1_KeyDown(int keyCode, int shift);
    void ListView1_DblClick();
    void Text1_Change();
    // Files dropped on the list are imported in order; links and texts become rows.
    void ListView1_OLEDragDrop(const QStringList &files, const QStringList &texts);
    // The page options: what to save, how to load, who the browser is.
    void mnuOptions_Click();

    // The list's menus: a row's entries act on the selected rows.
    void mnuOpenFile_Click();
    void mnuOpenFolder_Click();
    void mnuCopyAddress_Click();
    void mnuShowReason_Click();
    void mnuRetryRow_Click();
    void mnuRetryFailed_Click();
    void mnuSaveReport_Click();
    void mnuRemoveDone_Click();
    // Whether a menu entry applies now; those that do not are greyed.
    bool menuEntryApplies(RowActions::Entry entry) const;

    bool isBusy() const;

    static constexpr int KeyEscape = 27;

private:
    void hover(int pointer);
    // During a run no row is removed; the caption says why.
    bool refuseRemoval();
    QStringList applyRunSettings();

    IFormView &m_view;
    UrlListModel &m_list;
    FormServices m_services;
    UrlListCommands m_listCommands;
    std::unique_ptr<CaptureRun> m_captureRun;
    std::unique_ptr<OutputFolderChoice> m_folderChoice;
    std::unique_ptr<ListImport> m_listImport;
    std::unique_ptr<RowActions> m_rowActions;
};
