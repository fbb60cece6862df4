#include "ui/port_combo_box.h"

void PortComboBox::showPopup()
{
    emit aboutToShowPopup();
    QComboBox::showPopup();
}
