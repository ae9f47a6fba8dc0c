/* Textorin skin "Slate": a Qt style sheet. Enable it by copying this file to
   <application folder>/x/o.cjs (for an installed Textorin: lib/textorin/x/o.cjs). */

QWidget#Form1 { background: #eef1f5; }

QPushButton {
    color: #1f2937;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e4e8ee);
    border: 1px solid #9aa5b4;
    border-radius: 4px;
}
QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d6e4f7); border-color: #3b82f6; }
QPushButton:pressed { background: #c9dbf5; }
QPushButton:focus { border-color: #2563eb; }

QGroupBox {
    border: 1px solid #b8c1cc;
    border-radius: 4px;
    margin-top: 8px;
    padding-top: 6px;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #1f3a68; }

QLineEdit {
    background: #ffffff;
    border: 1px solid #9aa5b4;
    border-radius: 3px;
    padding: 1px 4px;
    selection-background-color: #3b82f6;
}
QLineEdit:focus { border-color: #2563eb; }

QTreeView {
    background: #ffffff;
    border: 1px solid #9aa5b4;
    selection-background-color: #3b82f6;
    selection-color: #ffffff;
}
QHeaderView::section {
    background: #dde3ea;
    color: #1f2937;
    border: none;
    border-right: 1px solid #b8c1cc;
    border-bottom: 1px solid #b8c1cc;
    padding: 2px 4px;
}

QProgressBar {
    border: 1px solid #9aa5b4;
    border-radius: 4px;
    background: #ffffff;
    text-align: center;
    color: #1f2937;
}
QProgressBar::chunk { background: #93c5fd; border-radius: 3px; }

QMessageBox, QInputDialog, QFileDialog { background: #eef1f5; }
