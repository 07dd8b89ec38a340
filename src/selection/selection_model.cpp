#include "selection/selection_model.h"

#include <utility>

namespace vantorel {

SelectionModel::SelectionModel(QObject* parent) : QObject(parent) {}

void SelectionModel::setPixelWidth(int64_t value) {
    emit willChange();
    pixelWidth_ = value;
}

void SelectionModel::setPixelHeight(int64_t value) {
    emit willChange();
    pixelHeight_ = value;
}

void SelectionModel::setScale(double value) {
    emit willChange();
    scale_ = value;
}

void SelectionModel::setNotice(std::optional<QString> value) {
    emit willChange();
    notice_ = std::move(value);
}

void SelectionModel::setLastWidth(int64_t value) {
    emit willChange();
    lastWidth_ = value;
}

void SelectionModel::setLastHeight(int64_t value) {
    emit willChange();
    lastHeight_ = value;
}

}  // namespace vantorel
