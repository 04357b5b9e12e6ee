// Qt side of the run-time, shared by the files of src/platform and the toolbox.
#pragma once

#include "platform/platform.h"

#include <QPointer>
#include <QWidget>
#include <map>

class QMdiSubWindow;
class QMenuBar;

namespace rt {

struct Panel {
    int handle = 0;
    int resourceId = 0;
    int parent = 0;
    std::string resourceFile;
    QPointer<QWidget> widget;
    QPointer<QMdiSubWindow> subWindow; // set while shown inside the main panel's graph area
    std::map<int, QPointer<QWidget>> controls;
    std::map<int, std::string> ctrlCallbacks;
    std::string panelCallback;
    int nextCtrlId = 1000; // ids of controls made at run time
    bool isPopup = false;
};

Panel *FindPanel(int handle);
QWidget *FindCtrl(int panel, int control);
// The panel whose graph area holds child panels (the main panel), or nullptr.
QWidget *GraphArea(int panel);

// Calls the control's callback, and queues commits for GetUserEvent.
void DispatchCtrlEvent(int panel, int control, int event, int eventData1 = 0, int eventData2 = 0);
void DispatchPanelEvent(int panel, int event, int eventData1 = 0, int eventData2 = 0);

// Graph controls (graph.cpp): set up a QCustomPlot control after loading, and
// the attributes and values the generic control code does not know.
QWidget *NewGraphCtrl(QWidget *parent);
void InitGraphCtrl(int panel, int control, QWidget *plot);
bool GraphSetAttribute(QWidget *plot, int attribute, double value, int *result);
bool GraphSetText(QWidget *plot, int attribute, const QString &value);
bool GraphGetAttribute(QWidget *plot, int attribute, double *value, int *result);

// Popups answered from the test script: records the popup; in scripted mode
// fills *answer and gives true.
bool ScriptedPopup(const PopupRecord &record, PopupAnswer *answer);

// Colour controls (colour.cpp): a QToolButton with the property colourPicker.
bool IsColourPicker(const QWidget *w);
void SetPickerColour(QWidget *w, int rgb);
int PickerColour(const QWidget *w);
// A click opens the colour dialog; a picked colour becomes the value and is a commit.
void ConnectColourPicker(int panel, int control, QWidget *w);

} // namespace rt
