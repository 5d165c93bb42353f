#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace zumo::art {

struct NamedPicture {
  QString file;  // file name under app/pictures/
  QImage picture;
};

// The label pictures of the window and the plain start picture of the hidden stores.
std::vector<NamedPicture> LabelPictures();

// The image buttons' pictures: <Name>OFF.jpg (normal), <Name>FCS.jpg (hover) and
// <Name>ON.jpg (pressed) for Quit, Load, Save and Run.
std::vector<NamedPicture> ButtonPictures();

}  // namespace zumo::art
