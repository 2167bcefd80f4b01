#pragma once

#include <QDialog>

namespace dnp {

// "About": the program icon, its title in bold, the release lines and "&Close".
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

}  // namespace dnp
