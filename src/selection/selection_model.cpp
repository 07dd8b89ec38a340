#include "selection/selection_model.h"

#include <utility>

namespace vantorel {

SelectionModel::SelectionModel(QObject* parent) : QObject(parent) {}

void SelectionModel::setPixelWidth(int64_t value) {
    pixelWidth_ = value;
    emit changed();
}

void SelectionModel::setPixelHeight(int64_t value) {
    pixelHeight_ = value;
    emit changed();
}

void SelectionModel::setScale(double value) {
    scale_ = value;
    emit changed();
}

void SelectionModel::setNotice(std::optional<QString> value) {
    notice_ = std::move(value);
    emit changed();
}

void SelectionModel::setLastWidth(int64_t value) {
    lastWidth_ = value;
    emit changed();
}

void SelectionModel::setLastHeight(int64_t value) {
    lastHeight_ = value;
    emit changed();
}

}  // namespace vantorel
