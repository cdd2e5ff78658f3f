// Building the main window's controls and menu from the layout table.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/main_dialog_layout.h"

using namespace kvu::ui;

namespace {

QWidget* createControl(const ControlSpec& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
        case ControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            // Enter is handled by the window, not by whichever button last had focus.
            button->setAutoDefault(false);
            return button;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setEchoMode(QLineEdit::Normal);
            edit->setReadOnly((row.flags & kReadOnly) != 0);
            edit->setFrame((row.flags & kNoBorder) == 0);
            edit->setAlignment(((row.flags & kRightAlign) != 0 ? Qt::AlignRight : Qt::AlignLeft) |
                               Qt::AlignVCenter);
            if ((row.flags & kReadOnly) != 0) {
                // Read-only texts take the focus by click only and sit on the window colour.
                edit->setFocusPolicy(Qt::ClickFocus);
                QPalette palette = edit->palette();
                palette.setColor(QPalette::Base, palette.color(QPalette::Window));
                edit->setPalette(palette);
            }
            return edit;
        }
        case ControlKind::DropDownList: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(false);
            for (const char* item : row.items) {
                combo->addItem(QString::fromUtf8(item));
            }
            combo->setCurrentIndex(-1);
            return combo;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
    }
    return nullptr;
}

bool takesTabFocus(const ControlSpec& row) {
    switch (row.kind) {
        case ControlKind::PushButton:
        case ControlKind::DropDownList:
            return true;
        case ControlKind::Edit:
            return (row.flags & kReadOnly) == 0;
        case ControlKind::GroupBox:
        case ControlKind::Label:
        case ControlKind::CheckBox:
            return false;
    }
    return false;
}

}  // namespace

void CKVUUtilityDlg::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(dluToPixelsX(kMainDialogWidth, m_baseUnits),
                         dluToPixelsY(kMainDialogHeight, m_baseUnits));

    QWidget* previousTabStop = nullptr;
    for (const ControlSpec& row : mainDialogControls()) {
        QWidget* widget = createControl(row, client);
        widget->setObjectName(row.id == IDC_STATIC ? QStringLiteral("static")
                                                   : QString::number(row.id));
        widget->setProperty("controlId", row.id);

        QRect rect = dluToPixels(row.rect, m_baseUnits);
        if (row.kind == ControlKind::DropDownList) {
            // The resource height is that of the opened list; the closed box is one line high.
            rect.setHeight(widget->sizeHint().height());
        }
        if (row.kind == ControlKind::Label) {
            // A wider fallback font may need a few pixels more than the resource gives a label;
            // they come out of the gap before the next control instead of clipping the caption.
            const int textWidth =
                widget->fontMetrics().horizontalAdvance(QString::fromUtf8(row.text));
            rect.setWidth(std::max(rect.width(), textWidth));
            rect.setHeight(std::max(rect.height(), widget->sizeHint().height()));
        }
        widget->setGeometry(rect);

        if ((row.flags & kDisabled) != 0) {
            widget->setEnabled(false);
        }
        if ((row.flags & kHidden) != 0) {
            widget->setVisible(false);
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (row.kind == ControlKind::GroupBox) {
            // Group frames are siblings of their controls: keep them underneath.
            widget->lower();
        }
        if (takesTabFocus(row)) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        }
        if (row.id != IDC_STATIC) {
            m_controls[row.id] = widget;
        }
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(client);
}

void CKVUUtilityDlg::createMenu() {
    m_pMenuBar = new QMenuBar(this);
    auto addAction = [this](QMenu* menu, const char* text, int id, bool enabled) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setObjectName(QString::number(id));
        action->setProperty("commandId", id);
        action->setEnabled(enabled);
        m_actions[id] = action;
        return action;
    };

    QMenu* file = m_pMenuBar->addMenu(QStringLiteral("File (&F)"));
    // Load and Save follow the connection; their handlers belong to the preset commands.
    addAction(file, "Load (&L)", ID_FILE_LOAD, false);
    addAction(file, "Save (&S)", ID_FILE_SAVE, false);
    file->addSeparator();
    QAction* exitAction = addAction(file, "Exit (&X)", ID_FILE_EXIT, true);
    connect(exitAction, &QAction::triggered, this, &CKVUUtilityDlg::OnFileExit);

    QMenu* about = m_pMenuBar->addMenu(QStringLiteral("About (&A)"));
    QAction* aboutAction = addAction(about, "About Nalto KVU Utility (&A)", ID_ABOUT_ABOUT, true);
    connect(aboutAction, &QAction::triggered, this, &CKVUUtilityDlg::OnAboutAbout);

    layout()->setMenuBar(m_pMenuBar);
}

QWidget* CKVUUtilityDlg::control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QAction* CKVUUtilityDlg::menuAction(int id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}
