#pragma once

#include <QImage>
#include <QString>

namespace zumo::art {

// The window assembled from the pictures in `folder` with stand-in controls at their
// places (radio buttons, sliders, panels, the image buttons), plus a row of every button
// in its three looks underneath: for checking alignment by eye.
QImage AssemblePreview(const QString& folder);

}  // namespace zumo::art
