#include "selection/control_bar_view.h"

#include "selection/action_button.h"
#include "selection/overlay_painter.h"
#include "selection/preset_button.h"
#include "selection/rounded_font.h"
#include "selection/selection_model.h"
#include "selection/size_presets.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>

namespace vantorel {

namespace {

constexpr int kMargin = 6;

// A thin upright rule between the swap button and Record.
class Divider : public QWidget {
  public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedSize(1, 34); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromRgbF(1.0, 1.0, 1.0, 0.25));
    }
};

QString lastUsedCaption() {
    return QStringLiteral("Last used");
}

}  // namespace

ControlBarView::ControlBarView(SelectionModel* model, QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kMargin + 12, kMargin + 10, kMargin + 12, kMargin + 10);
    column->setSpacing(6);
    column->setSizeConstraint(QLayout::SetFixedSize);

    notice_ = new QLabel(QStringLiteral(" "), this);
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setFont(systemFont(12, QFont::Bold));
    notice_->setAlignment(Qt::AlignCenter);
    column->addWidget(notice_, 0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    column->addLayout(row);

    lastUsed_ = new PresetButton(SizePreset{0, 0, lastUsedCaption()}, this);
    lastUsed_->setObjectName(QStringLiteral("lastUsed"));
    connectPreset(lastUsed_);
    row->addWidget(lastUsed_, 0, Qt::AlignVCenter);

    for (const SizePreset& preset : SizePresets::all()) {
        auto* button = new PresetButton(preset, this);
        button->setObjectName(QStringLiteral("preset-") + preset.id());
        connectPreset(button);
        presets_.push_back(button);
        row->addWidget(button, 0, Qt::AlignVCenter);
    }

    auto* swap = new ActionButton(ActionButton::Kind::swap, this);
    swap->setObjectName(QStringLiteral("swap"));
    connect(swap, &QAbstractButton::clicked, this, [this] {
        if (SelectionModel* target = model_.data()) {
            emit target->swapRequested();
        }
    });
    row->addWidget(swap, 0, Qt::AlignVCenter);
    row->addWidget(new Divider(this), 0, Qt::AlignVCenter);

    auto* record = new ActionButton(ActionButton::Kind::record, this);
    record->setObjectName(QStringLiteral("record"));
    connect(record, &QAbstractButton::clicked, this, [this] {
        if (SelectionModel* target = model_.data()) {
            emit target->recordRequested();
        }
    });
    row->addWidget(record, 0, Qt::AlignVCenter);

    auto* cancel = new ActionButton(ActionButton::Kind::cancel, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QAbstractButton::clicked, this, [this] {
        if (SelectionModel* target = model_.data()) {
            emit target->cancelRequested();
        }
    });
    row->addWidget(cancel, 0, Qt::AlignVCenter);

    if (SelectionModel* observed = model_.data()) {
        connect(observed, &SelectionModel::changed, this, &ControlBarView::scheduleRefresh);
    }
    refresh();
}

bool ControlBarView::showsLast() const {
    const SelectionModel* model = model_.data();
    return model != nullptr && SizePresets::showsLast(model->lastWidth(), model->lastHeight());
}

QPainterPath ControlBarView::backgroundShape() const {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin), 16.0, 16.0);
    return shape;
}

void ControlBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPainterPath shape = backgroundShape();
    painter.fillPath(shape, QColor::fromRgbF(0.0, 0.0, 0.0, 0.9));
    painter.strokePath(shape, QPen(QColor::fromRgbF(1.0, 1.0, 1.0, 0.2), 1.0));
}

void ControlBarView::connectPreset(PresetButton* button) {
    connect(button, &QAbstractButton::clicked, this, [this, button] {
        if (SelectionModel* target = model_.data()) {
            emit target->presetRequested(button->preset().width, button->preset().height);
        }
    });
}

// A preset changes several fields in a row: they are read once control returns to the event
// loop, in one refresh.
void ControlBarView::scheduleRefresh() {
    if (refreshPending_) {
        return;
    }
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &ControlBarView::refresh, Qt::QueuedConnection);
}

void ControlBarView::refresh() {
    refreshPending_ = false;
    const SelectionModel* model = model_.data();
    if (model == nullptr) {
        return;
    }
    const auto matches = [model](const SizePreset& preset) {
        return model->pixelWidth() == preset.width && model->pixelHeight() == preset.height;
    };
    const bool last = showsLast();
    lastUsed_->setPreset(SizePreset{model->lastWidth(), model->lastHeight(), lastUsedCaption()});
    lastUsed_->setVisible(last);
    std::vector<PresetButton*> all = presets_;
    all.push_back(lastUsed_);
    for (PresetButton* button : all) {
        button->setSelected(matches(button->preset()));
        button->setToolTip(SizePresets::tooltipText(button->preset(), model->scale()));
    }
    const auto& notice = model->notice();
    notice_->setText(notice ? *notice : QStringLiteral(" "));
    QPalette palette = notice_->palette();
    // An empty notice keeps its line so that the bar does not jump when one appears.
    palette.setColor(QPalette::WindowText, notice ? selectionYellow() : QColor(Qt::transparent));
    notice_->setPalette(palette);
}

}  // namespace vantorel
