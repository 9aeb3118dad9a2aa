#include "platform/Form.h"

#include "platform/Control.h"

// What every run-time does alike. The hooks (loadWindow, showWindow, ...) are the run-time's.

void Form::Load() {
    if (stage_ != Stage::New)
        return;
    stage_ = Stage::Loaded;
    loadWindow();
    Form_Load();
}

bool Form::isLoaded() const {
    return stage_ == Stage::Loaded;
}

void Form::Show() {
    Load();
    if (stage_ != Stage::Loaded)
        return;
    const bool first = !shown_;
    shown_ = true;
    showWindow(first);
}

void Form::Unload() {
    if (stage_ != Stage::Loaded)
        return;
    stage_ = Stage::Unloaded;
    hideWindow();
    finishUnloadLater();
}

// The handler may delete the form: it runs from a copy, and nothing of the form is touched
// after it.
void Form::finishUnload() {
    const Event<> unloaded = Unloaded;
    unloaded();
}

void Form::destroyControls() {
    while (!controls_.empty())
        delete controls_.back();
}

PointApi Form::centredOn(PointApi screenCorner, int screenWidth, int screenHeight, int width,
                         int height) {
    return {screenCorner.x + (screenWidth - width) / 2,
            screenCorner.y + (screenHeight - height) / 2};
}

const std::string& Form::Caption() const {
    return caption_;
}

void Form::setCaption(const std::string& caption) {
    caption_ = caption;
    applyCaption();
}

BorderStyle Form::borderStyle() const {
    return borderStyle_;
}

void Form::setBorderStyle(BorderStyle style) {
    borderStyle_ = style;
    applyBorderStyle();
}

bool Form::ShowInTaskbar() const {
    return showInTaskbar_;
}

void Form::setShowInTaskbar(bool show) {
    showInTaskbar_ = show;
}

int Form::ClientWidth() const {
    return clientWidth_;
}

int Form::ClientHeight() const {
    return clientHeight_;
}

void Form::setClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    applyClientSize();
}

PointApi Form::clientOffset() const {
    return clientOffset_;
}

void Form::setClientOffset(PointApi offset) {
    clientOffset_ = offset;
}

std::uint32_t Form::BackColor() const {
    return backColor_;
}

void Form::setBackColor(std::uint32_t colour) {
    backColor_ = colour;
    applyBackColor();
}
