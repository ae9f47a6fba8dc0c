#pragma once

#include <QString>

// Qualified names the error report cites, one per guarded operation.
namespace OperationNames {

inline const QString PushButton1_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton1_Click ");
inline const QString PushButton2_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton2_Click ");
inline const QString PushButton4_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton4_Click ");
inline const QString PushButton6_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton6_Click ");
inline const QString PushButton7_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton7_Click ");
inline const QString PushButton8_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.PushButton8_Click ");
inline const QString ListView1_OLEDragDrop = QStringLiteral("in TextorinApp2021/08/31.Form1.ListView1_OLEDragDrop ");
inline const QString mnuOpenFile_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuOpenFile_Click ");
inline const QString mnuOpenFolder_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuOpenFolder_Click ");
inline const QString mnuCopyAddress_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuCopyAddress_Click ");
inline const QString mnuShowReason_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuShowReason_Click ");
inline const QString mnuSaveReport_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuSaveReport_Click ");
inline const QString mnuRemoveDone_Click = QStringLiteral("in TextorinApp2021/08/31.Form1.mnuRemoveDone_Click ");
inline const QString Form_Load = QStringLiteral("in TextorinApp2021/08/31.Form1.Form_Load ");

} // namespace OperationNames
