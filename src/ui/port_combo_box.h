#pragma once

#include <QComboBox>

// A drop-down list that says when its list is about to open, so that the
// entries can be brought up to date first (which device each Com number
// opens can change while the program runs: an adapter plugged in or out).
class PortComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    void aboutToShowPopup();
};
