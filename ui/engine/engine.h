// The run-time engine: panels, controls, callbacks, pop-ups, serial and TCP
// services, files and time, in the integer-handle calling model the program is
// written against. Program code includes only this header; the Qt widgets
// behind it stay inside ui/engine.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// ---- callbacks and events ---------------------------------------------------
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData, int eventData1,
                                int eventData2);
using PanelCallbackPtr = CtrlCallbackPtr;

enum {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_LEFT_CLICK = 3,
    EVENT_LEFT_DOUBLE_CLICK = 4,
    EVENT_RIGHT_CLICK = 5,
    EVENT_RIGHT_DOUBLE_CLICK = 6,
    EVENT_KEYPRESS = 7,
    EVENT_GOT_FOCUS = 8,
    EVENT_LOST_FOCUS = 9,
    EVENT_IDLE = 10,
    EVENT_CLOSE = 11,
    EVENT_PANEL_SIZE = 12,
    EVENT_PANEL_MOVE = 13,
    EVENT_END_TASK = 14,
    EVENT_TIMER_TICK = 15,
    EVENT_DISCARD = 16,
};

// Error codes of the user-interface operations.
enum {
    UIE_NoError = 0,
    UIE_NotInitialized = -1,
    UIE_TooManyPanels = -3,
    UIE_InvalidPanel = -4,
    UIE_InvalidControl = -5,
    UIE_FileNotFound = -7,  // panel resource file missing or unreadable
    UIE_BadResource = -8,   // resource number not in the file, or malformed file
    UIE_UnknownCallback = -9,
    UIE_InvalidAttribute = -10,
    UIE_TypeMismatch = -11, // value type does not fit the control
    UIE_IndexOutOfRange = -12,
    UIE_ItemNotFound = -13,
    UIE_InvalidPlot = -14,     // no plot with that handle on the graph
    UIE_InvalidArgument = -15, // data type, count, axis, range, style or trace out of range
    UIE_PrintCancelled = -16,  // the operator cancelled the print dialog
    UIE_PrinterError = -17,    // no printer, or the print file could not be written
};

// Callback registry: every module registers its callbacks by name so panel
// resources can bind them.
struct CallbackEntry {
    const char *name;
    CtrlCallbackPtr fn;
};
void RegisterCallbacks(const CallbackEntry *table, std::size_t count);
template <std::size_t N> inline void RegisterCallbacks(const CallbackEntry (&table)[N]) {
    RegisterCallbacks(table, N);
}
CtrlCallbackPtr FindCallback(const std::string &name);

// ---- engine life --------------------------------------------------------------
// Creates the application object (once). A second call returns 1 at once.
// Returns 1 on success, 0 on failure.
int InitCVIRTE(int argc, char **argv);
void CloseCVIRTE();
// Directory the panel resource files are loaded from (default: the
// executable's directory, and for a file not there the install's panel
// folder, <prefix>/share/qvex-scope/panels beside <prefix>/bin).
void SetPanelResourceDir(const std::string &dir);
std::string GetPanelResourceDir();

// ---- attributes and values ---------------------------------------------------------
enum {
    // panels and controls
    ATTR_VISIBLE = 500,
    ATTR_DIMMED = 501,
    ATTR_LEFT = 502,
    ATTR_TOP = 503,
    ATTR_WIDTH = 504,
    ATTR_HEIGHT = 505,
    ATTR_LABEL_TEXT = 506,     // controls: caption; panels: see ATTR_TITLE
    ATTR_TITLE = 507,          // panel title
    ATTR_WINDOW_ZOOM = 508,    // VAL_NO_ZOOM, VAL_MINIMIZE, VAL_MAXIMIZE
    ATTR_BACKCOLOR = 509,
    // controls
    ATTR_CMD_BUTTON_COLOR = 520,
    ATTR_ON_COLOR = 521,       // LED, lamp and lamp button
    ATTR_OFF_COLOR = 522,
    ATTR_FILL_COLOR = 523,     // progress indicator
    ATTR_MAX_VALUE = 524,
    ATTR_MIN_VALUE = 525,
    ATTR_TEXT_BGCOLOR = 526,
    ATTR_TEXT_COLOR = 527,
    ATTR_MAX_ENTRY_LENGTH = 528,
    ATTR_CTRL_INDEX = 529,
    ATTR_CALLBACK_DATA = 530,
    ATTR_CTRL_KIND = 531,      // read only: one of the CTRL_KIND values
    // text of text messages (and other controls' captions)
    ATTR_TEXT_BOLD = 532,
    ATTR_TEXT_POINT_SIZE = 533, // font size in the engine's points: one point per pixel, like every other
                                // panel measure, so a layout looks the same at any screen resolution
    ATTR_TEXT_FONT = 534,       // string: a meta font (VAL_APP_META_FONT, ...) or a font family
    ATTR_SIZE_TO_TEXT = 535,    // text messages: the control takes the size of its text
    ATTR_FRAME_COLOR = 536,     // decorations: the colour they are filled with
    // canvas pen (CanvasDraw...)
    ATTR_PEN_COLOR = 540,
    ATTR_PEN_FILL_COLOR = 541,
    ATTR_PEN_WIDTH = 542,
    ATTR_FIRST_VISIBLE_LINE = 537, // text box: the line at the top of the view; past the last line: the end
    // table run-time options the program switches off
    ATTR_TABLE_RUN_STATE_1523 = 1523, // operator may resize rows
    ATTR_TABLE_RUN_STATE_1524 = 1524, // operator may resize columns
    // password fields
    ATTR_PASSWORD_MASK_CHARACTER = 600,
    ATTR_PASSWORD_MAX_LENGTH = 601,
    ATTR_PASSWORD_VAL = 602, // the typed text (PasswordCtrl_GetAttribute)
};
enum { VAL_NO_ZOOM = 0, VAL_MINIMIZE = 1, VAL_MAXIMIZE = 2 };
// Panel position meaning "centre on the screen".
constexpr int VAL_AUTO_CENTER = -2147483647;
enum {
    CTRL_KIND_UNKNOWN = 0,
    CTRL_KIND_COMMAND,
    CTRL_KIND_TOGGLE,
    CTRL_KIND_CHECKBOX,
    CTRL_KIND_RADIO,
    CTRL_KIND_NUMERIC,
    CTRL_KIND_NUMERIC_DOUBLE,
    CTRL_KIND_RING,
    CTRL_KIND_STRING,
    CTRL_KIND_COMBO,
    CTRL_KIND_TEXTBOX,
    CTRL_KIND_TEXTMSG,
    CTRL_KIND_LED,
    CTRL_KIND_LAMP,
    CTRL_KIND_GRAPH,
    CTRL_KIND_STRIPCHART,
    CTRL_KIND_TABLE,
    CTRL_KIND_PROGRESS,
    CTRL_KIND_DECORATION,
    CTRL_KIND_CANVAS,  // a drawing surface (CanvasDraw..., DisplayImageFile)
    CTRL_KIND_PICTURE, // a picture from the panel resource or an image file
};
// 24-bit RGB colours.
enum {
    VAL_BLACK = 0x000000,
    VAL_WHITE = 0xFFFFFF,
    VAL_RED = 0xFF0000,
    VAL_GREEN = 0x00FF00,
    VAL_BLUE = 0x0000FF,
    VAL_YELLOW = 0xFFFF00,
    VAL_LT_GRAY = 0xCCCCCC,
    VAL_GRAY = 0x808080,
    VAL_DK_GRAY = 0x404040,
    VAL_PANEL_GRAY = 0xC0C0C0,
    VAL_CYAN = 0x00FFFF,
    VAL_MAGENTA = 0xFF00FF,
    VAL_DK_RED = 0x800000,
    VAL_DK_GREEN = 0x008000,
    VAL_DK_BLUE = 0x000080,
    VAL_OFFWHITE = 0xE0E0E0,
    VAL_TRANSPARENT = 0x1000000, // text background: none
};

// ---- panels -------------------------------------------------------------------
int LoadPanel(int parentPanel, const char *fileName, int resourceId);
int DiscardPanel(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);
int InstallPopup(int panel); // shows the panel modal over the others
int RemovePopup(int panel);  // hides a pop-up panel (0 = the topmost one)
int SetActivePanel(int panel);
int GetActivePanel();
int SetActiveCtrl(int panel, int control);
int GetActiveCtrl(int panel);
int SetPanelPos(int panel, int top, int left);
int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const std::string &value);
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, std::string *value);
// Screen size, used to centre a panel.
int GetScreenSize(int *height, int *width);
int SetWaitCursor(int on);

// ---- printing -------------------------------------------------------------------
enum {
    ATTR_PRINT_ORIENTATION = 800, // VAL_PORTRAIT or VAL_LANDSCAPE
    ATTR_PRINT_COLOR_MODE = 801,  // VAL_BW or VAL_COLOR
    ATTR_PRINT_NUMCOPIES = 802,   // 1 to 99
};
enum { VAL_PORTRAIT = 0, VAL_LANDSCAPE = 1 };
enum { VAL_BW = 0, VAL_COLOR = 1 };
enum { VAL_FULL_PANEL = 0, VAL_VISIBLE_AREA = 1 };
// Settings for the next prints; a value out of range is UIE_InvalidArgument.
int SetPrintAttributeEx(int attribute, int value);
int GetPrintAttribute(int attribute, int *value);
// Prints a panel with the sub-panels shown inside it: on the printer when
// fileName is null or empty, else into that file as PDF. area VAL_FULL_PANEL
// prints the whole panel, VAL_VISIBLE_AREA what its window shows; scaling 1
// fits it to the page keeping its proportions, 0 prints it at screen size.
// interactive 1 shows the print dialog first. Returns 0,
// UIE_PrintCancelled or UIE_PrinterError.
int PrintPanel(int panel, const char *fileName, int scaling, int area, int interactive);
// Prints meant for the printer go into this PDF file instead, without a
// dialog (tests and headless runs); an empty path restores the printer.
void SetPrintOutputFile(const std::string &pdfPath);

// ---- controls -----------------------------------------------------------------
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, const char *value);
int SetCtrlVal(int panel, int control, const std::string &value);
int GetCtrlVal(int panel, int control, int *value);
int GetCtrlVal(int panel, int control, unsigned short *value);
int GetCtrlVal(int panel, int control, short *value);
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, char *buffer, std::size_t bufferSize);
int GetCtrlVal(int panel, int control, std::string *value);

int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const std::string &value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, std::string *value);

// Rings and lists.
int GetNumListItems(int panel, int control, int *count);
int GetIndexFromValue(int panel, int control, int *index, int value);
int GetValueFromIndex(int panel, int control, int index, int *value);
int GetLabelFromIndex(int panel, int control, int index, std::string *label);
int GetCtrlIndex(int panel, int control, int *index);
int SetCtrlIndex(int panel, int control, int index);
int InsertListItem(int panel, int control, int index, const std::string &label, int value);
int DeleteListItem(int panel, int control, int index, int count);
int ClearListCtrl(int panel, int control);

// Text boxes: SetCtrlVal appends a line.
int ResetTextBox(int panel, int control, const std::string &text);
int GetNumTextBoxLines(int panel, int control, int *lines);
int GetTextBoxLine(int panel, int control, int line, std::string *text);

// Tables.
int GetNumTableRows(int panel, int control, int *rows);
int GetNumTableColumns(int panel, int control, int *columns);
int SetTableCellVal(int panel, int control, int row, int column, const std::string &value);
int GetTableCellVal(int panel, int control, int row, int column, std::string *value);
int GetActiveTableCell(int panel, int control, int *row, int *column);
int SetActiveTableCell(int panel, int control, int row, int column);
// Rows are inserted before row index (1-based; rows + 1 appends) and deleted
// from index on; count -1 deletes every row from index to the end.
int InsertTableRows(int panel, int control, int index, int count);
int DeleteTableRows(int panel, int control, int index, int count);
// A check-box cell: the operator's click on its box toggles it and reaches the
// table's callback as EVENT_COMMIT with the cell's row and column.
int SetTableCellCheck(int panel, int control, int row, int column, int checked);
int GetTableCellCheck(int panel, int control, int row, int column, int *checked);
// Column widths in pixels (column 1-based); a stretching last column keeps stretching.
int SetTableColumnWidth(int panel, int control, int column, int width);
// Widens or narrows every column to its widest cell or heading, so that no
// figure is cut; the table scrolls sideways when they need more room.
int FitTableColumnWidths(int panel, int control);
int GetTableColumnWidth(int panel, int control, int column, int *width);
// Table cell ranges (1-based) and canvas areas (pixels); an empty range has
// height and width 0.
struct Rect {
    int top, left, height, width;
};
Rect MakeRect(int top, int left, int height, int width);
// A panel or canvas position: x right, y down, in pixels.
struct Point {
    int x, y;
};
Point MakePoint(int x, int y);
int RectEqual(Rect a, Rect b);
int GetTableSelection(int panel, int control, Rect *selection);
int SetTableSelection(int panel, int control, Rect selection);

// Built-in context menu of a control; item ids -2, -3, -4 are the table's
// insert, delete and sort entries.
int HideBuiltInCtrlMenuItem(int panel, int control, int menuItemId);

// Combo box with history (an editable combo box control).
int Combo_NewComboBox(int panel, int control);
int Combo_InsertComboItem(int panel, int control, int index, const std::string &text);
int Combo_DeleteComboItem(int panel, int control, int index, int count);
int Combo_GetIndex(int panel, int control, const std::string &text, int *index);
int Combo_GetNumItems(int panel, int control, int *count);
int Combo_GetItem(int panel, int control, int index, std::string *text);

// Password field (a string control with masked echo). Reading fails with a
// negative code on any control that is not a password field.
int PasswordCtrl_ConvertFromString(int panel, int control);
int PasswordCtrl_SetAttribute(int panel, int control, int attribute, int value);
int PasswordCtrl_GetAttribute(int panel, int control, int attribute, int *value);
// ATTR_PASSWORD_VAL: the typed text.
int PasswordCtrl_GetAttribute(int panel, int control, int attribute, std::string *value);

// A control made at run time. Only text messages (CTRL_KIND_TEXTMSG) are
// made this way: shown at once above the panel's other controls, in the
// panel's font, sized to their text. Returns the new control's id (greater
// than every id the panel had) or a negative code.
int NewCtrl(int panel, int kind, const char *label, int top, int left);

// ---- canvases and pictures --------------------------------------------------------
// A canvas keeps what is drawn on it until cleared; it starts transparent.
// Lines take ATTR_PEN_COLOR and ATTR_PEN_WIDTH, interiors ATTR_PEN_FILL_COLOR;
// every edge is anti-aliased.
enum { VAL_DRAW_FRAME = 0, VAL_DRAW_INTERIOR = 1, VAL_DRAW_FRAME_AND_INTERIOR = 2 };
// Text alignment inside CanvasDrawText's rectangle.
enum { VAL_LEFT_ALIGN = 0, VAL_CENTER_ALIGN = 1, VAL_RIGHT_ALIGN = 2 };
// A rectangle with height or width 0 clears the whole canvas.
int CanvasClear(int panel, int control, Rect rect);
int CanvasDrawRect(int panel, int control, Rect rect, int drawMode);
int CanvasDrawOval(int panel, int control, Rect rect, int drawMode);
int CanvasDrawLine(int panel, int control, Point start, Point end);
// wrap 1 closes the outline back to the first point.
int CanvasDrawPoly(int panel, int control, std::size_t numPoints, const Point points[], int wrap, int drawMode);
// Text in ATTR_PEN_COLOR, vertically centred in the rectangle; pointSize as
// ATTR_TEXT_POINT_SIZE counts it.
int CanvasDrawText(int panel, int control, const char *text, const char *fontName, int pointSize, int bold,
                   Rect bounds, int alignment);
// Shows an image file (PNG, BMP, JPEG) on a canvas or picture, scaled to fit
// the control with its proportions kept. UIE_FileNotFound when the file
// cannot be read as an image; the control keeps what it showed.
int DisplayImageFile(int panel, int control, const char *fileName);

int MakeColor(int red, int green, int blue);

// ---- graphs and strip charts ------------------------------------------------------
// Plot operations change what a graph shows; the graph redraws by itself at
// most about 30 times a second, never inside the call, so a measuring loop that
// plots on every cycle does not wait for drawing. RefreshGraph draws at once.
//
// Mouse clicks on a graph or strip chart reach its callback as EVENT_LEFT_CLICK,
// EVENT_LEFT_DOUBLE_CLICK, EVENT_RIGHT_CLICK and EVENT_RIGHT_DOUBLE_CLICK with
// eventData1 = vertical and eventData2 = horizontal mouse position in pixels
// from the panel's top left corner; GetGraphCoordsFromPoint turns that into
// data coordinates.

// Element types of plotted arrays.
enum {
    VAL_CHAR = 1,
    VAL_UNSIGNED_CHAR,
    VAL_SHORT_INTEGER,
    VAL_UNSIGNED_SHORT_INTEGER,
    VAL_INTEGER,
    VAL_UNSIGNED_INTEGER,
    VAL_FLOAT,
    VAL_DOUBLE,
};
// Plot styles (ATTR_PLOT_STYLE).
enum {
    VAL_THIN_LINE = 0,        // 1 pixel line through the points
    VAL_FAT_LINE,             // 2 pixel line
    VAL_CONNECTED_POINTS,     // thin line with a marker on every point
    VAL_SCATTER,              // markers only
    VAL_THIN_STEP,            // horizontal then vertical segments, 1 pixel
    VAL_FAT_STEP,
};
// Point styles (ATTR_TRACE_POINT_STYLE), for scatter and connected points.
enum {
    VAL_NO_POINT = 0,
    VAL_SIMPLE_DOT,
    VAL_SOLID_SQUARE,
    VAL_EMPTY_SQUARE,
    VAL_SOLID_CIRCLE,
    VAL_EMPTY_CIRCLE,
    VAL_SOLID_DIAMOND,
    VAL_EMPTY_DIAMOND,
};
// Line styles (ATTR_LINE_STYLE).
enum { VAL_SOLID = 0, VAL_DASH, VAL_DOT, VAL_DASH_DOT, VAL_DASH_DOT_DOT };
// Axes and their scaling.
enum { VAL_XAXIS = 0, VAL_LEFT_YAXIS = 1 };
enum { VAL_MANUAL = 0, VAL_AUTOSCALE = 1 };
// When a deletion shows: with the next redraw (immediate) or only once
// something else changes the graph (delayed, none).
enum { VAL_NO_DRAW = 0, VAL_DELAYED_DRAW = 1, VAL_IMMEDIATE_DRAW = 2 };
// Plot handle meaning "every plot of the graph" (DeleteGraphPlot).
enum { VAL_ALL_PLOTS = -1 };
// Font names for PlotText; any other name is taken as a font family.
inline constexpr const char VAL_SYSTEM_META_FONT[] = "SystemMetaFont"; // the engine's small font
inline constexpr const char VAL_DIALOG_META_FONT[] = "DialogMetaFont";
inline constexpr const char VAL_APP_META_FONT[] = "AppMetaFont";
inline constexpr const char VAL_EDITOR_META_FONT[] = "EditorMetaFont"; // fixed pitch

enum {
    // plots (SetPlotAttribute) and strip-chart traces (SetTraceAttribute)
    ATTR_TRACE_COLOR = 700,       // a text plot's text colour
    ATTR_PLOT_STYLE = 701,
    ATTR_LINE_STYLE = 702,
    ATTR_TRACE_POINT_STYLE = 703,
    ATTR_TRACE_VISIBLE = 704,
    ATTR_LINE_WIDTH = 705,        // pixels; 0 = as the plot style says
    // ATTR_TEXT_BGCOLOR (above) is a text plot's background
    // strip charts (SetCtrlAttribute)
    ATTR_POINTS_PER_SCREEN = 710, // 2 to 10000; the chart keeps one screen of history
    ATTR_NUM_TRACES = 711,        // 1 to 64; changing it clears the chart
    // graphs and strip charts (SetCtrlAttribute)
    ATTR_PLOT_BGCOLOR = 712,
    ATTR_GRID_COLOR = 713,
    // graphs and strip charts, string values: the axes' titles
    ATTR_XNAME = 714,
    ATTR_YNAME = 715,
};

// Plots numberOfPoints pairs; returns the plot handle (> 0) or an error.
// Points with a non-finite coordinate are left out; a line is broken where
// one stood (the points on either side are not joined). pointFrequency must be at
// least 1; every point of a connected-points or scatter plot gets its marker.
int PlotXY(int panel, int control, const void *xArray, const void *yArray, std::size_t numberOfPoints,
           int xDataType, int yDataType, int plotStyle, int pointStyle, int lineStyle, int pointFrequency,
           int color);
// A straight thin solid line; returns the plot handle.
int PlotLine(int panel, int control, double x1, double y1, double x2, double y2, int color);
// Text whose lower left corner stands at (x, y); returns the plot handle.
int PlotText(int panel, int control, double x, double y, const char *text, const char *fontName, int textColor,
             int backgroundColor);
// plotHandle VAL_ALL_PLOTS (-1) deletes every plot; refresh is VAL_IMMEDIATE_DRAW,
// VAL_DELAYED_DRAW or VAL_NO_DRAW.
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);
int SetPlotAttribute(int panel, int control, int plotHandle, int attribute, int value);
int GetPlotAttribute(int panel, int control, int plotHandle, int attribute, int *value);
// Manual scaling takes min < max; autoscale fits the visible plots (min and max unused).
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
// The mode and the range in force (for autoscale: the range the data gives).
int GetAxisScalingMode(int panel, int control, int axis, int *mode, double *min, double *max);
// Appends to a strip chart. The array holds values for ATTR_NUM_TRACES traces
// interleaved (point 0 of traces 1..n, then point 1, ...); numberOfPoints counts
// values, a multiple of the trace count. Value k is read from index
// startingIndex + k * (skipCount + 1).
int PlotStripChart(int panel, int control, const void *yArray, std::size_t numberOfPoints, int startingIndex,
                   int skipCount, int dataType);
int ClearStripChart(int panel, int control);
// Traces count from 1.
int SetTraceAttribute(int panel, int control, int trace, int attribute, int value);
int GetTraceAttribute(int panel, int control, int trace, int attribute, int *value);
// Brings the drawing up to date now (before a panel is grabbed or printed).
int RefreshGraph(int panel, int control);
// A panel position (x right, y down, pixels from the panel's top left) as
// data coordinates of the graph's axes.
int GetGraphCoordsFromPoint(int panel, int control, Point point, double *x, double *y);

// The operator's view of a graph: zoom, pan and the full view through the
// graph's own tools. A change the operator makes reaches the graph's
// callback as EVENT_VAL_CHANGED; the calls below announce nothing.
// The range an axis (VAL_XAXIS, VAL_LEFT_YAXIS) shows, the zoom included.
int GetGraphViewRange(int panel, int control, int axis, double *min, double *max);
// Shows these ranges as the operator's zoom would (x0 < x1, y0 < y1).
int SetGraphViewRange(int panel, int control, double x0, double x1, double y0, double y1);
// The full view: the axes the program set.
int ResetGraphView(int panel, int control);
// Where the graph's CSV export of the x range shown comes from, for a graph
// that plots a reduced picture of more data: the text source(x0, x1, data)
// returns. nullptr: the plotted points.
using GraphCsvSource = std::string (*)(double x0, double x1, void *data);
int SetGraphCsvSource(int panel, int control, GraphCsvSource source, void *data);
// Where the graph's export dialog opens (the folder of what the graph
// shows); "" or nullptr: the folder of the last export.
int SetGraphExportDirectory(int panel, int control, const char *directory);
// Where the cursor readout's value of a curve (named as the graph's curve
// names give it) at x comes from, for the same kind of graph; NaN for none.
// nullptr: the plotted points.
using GraphValueSource = double (*)(const char *curveName, double x, void *data);
int SetGraphValueSource(int panel, int control, GraphValueSource source, void *data);

// ---- operator actions, for tests and qvex-ctl ----------------------------------
// Sets a control's value as an operator would and dispatches EVENT_COMMIT
// through the same path a real click or edit takes.
int OperateCtrl(int panel, int control);
int OperateCtrl(int panel, int control, int value);
int OperateCtrl(int panel, int control, double value);
int OperateCtrl(int panel, int control, const std::string &value);
// Delivers any operator event (a click, a double click) to a control's
// callback through the same dispatch real mouse events take.
int OperateCtrlEvent(int panel, int control, int event);
// Closes a panel as the operator would with the window's close box.
int OperateClosePanel(int panel);
// The Qt widget behind a control, for tests that click real widgets
// (a QWidget *, typed void * so this header stays free of Qt).
void *GetCtrlWidget(int panel, int control);
void *GetPanelWidget(int panel);

// ---- event loop and waiting -------------------------------------------------------
int RunUserInterface();
int QuitUserInterface(int returnCode);
// Delivers pending events and returns at once.
int ProcessSystemEvents();
// Delivers pending events; blocks until the next event arrives or maxSeconds
// pass. Every wait loop uses this, so an idle wait costs almost no CPU.
int WaitForSystemEvents(double maxSeconds);
// Called at the start of every ProcessSystemEvents and WaitForSystemEvents,
// before any event is delivered: a test puts operator input there to reach
// every point where a long operation lets other callbacks run. nullptr
// removes it. The hook is not called again while it runs.
using EventDeliveryHook = void (*)(void *data);
void SetEventDeliveryHook(EventDeliveryHook hook, void *data);
// Calls fn(data) once, through the event loop, after seconds have passed
// (from whatever loop or wait delivers events then). Returns an id > 0 for
// CancelDelayedCall, or a negative code when no application runs.
using DelayedCallPtr = void (*)(void *data);
int PostDelayedCall(double seconds, DelayedCallPtr fn, void *data);
// Cancels a delayed call not yet made; an id already called or cancelled is
// ignored.
void CancelDelayedCall(int id);

// ---- pop-ups ------------------------------------------------------------------------
enum { VAL_OK_DONE = 1, VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2 };
// The file dialog's accept button: Load picks an existing file, Save names a
// file to write, OK and Select take any name.
enum { VAL_OK_BUTTON = 0, VAL_SAVE_BUTTON = 1, VAL_SELECT_BUTTON = 2, VAL_LOAD_BUTTON = 3 };
int MessagePopup(const char *title, const char *message);
int ConfirmPopup(const char *title, const char *message);
// A message that waits for nobody: it is shown and the call returns at once,
// so whatever runs (a reconnect, a recording) goes on while nobody is at the
// screen. A later note with the same title replaces the one still shown.
void NotePopup(const char *title, const char *message);
// Asks for a line of text of at most maxLength characters (longer answers
// are cut). Returns 1 with the answer in *response, or 0 when cancelled.
int PromptPopup(const char *title, const char *message, std::string *response, int maxLength);
// Asks for a file. defaultFile is a pattern ("*.ini") or a file name
// ("record.csv"); its extension is the default extension. fileTypeList holds
// the patterns offered, separated by ';'. With restrictExtension a name typed
// without extension gets the default one and a name with another extension is
// refused; with restrictDirectory only files in defaultDirectory are taken. A
// refused choice is explained and the question asked again. allowCancel 0
// leaves the operator no cancel button; allowMakeDirectory 0 no new folders.
// Returns VAL_NO_FILE_SELECTED (0) when cancelled, VAL_EXISTING_FILE_SELECTED
// or VAL_NEW_FILE_SELECTED otherwise; the chosen path goes to pathName.
int FileSelectPopup(const char *defaultDirectory, const char *defaultFile, const char *fileTypeList,
                    const char *title, int buttonLabel, int restrictDirectory, int restrictExtension,
                    int allowCancel, int allowMakeDirectory, std::string *pathName);

// Everything a file dialog is asked with.
struct FileSelectRequest {
    std::string defaultDirectory, defaultFile, fileTypeList, title;
    int buttonLabel = VAL_OK_BUTTON;
    int restrictDirectory = 0, restrictExtension = 0, allowCancel = 1, allowMakeDirectory = 0;
    // The extension of defaultFile without its dot ("ini"); "" when the
    // default has none or a wildcard one ("*.*").
    std::string defaultExtension() const;
};

// The object every pop-up goes through. Tests install a scripted one.
class PopupResponder {
  public:
    virtual ~PopupResponder() = default;
    virtual int message(const std::string &title, const std::string &text) = 0;
    virtual int confirm(const std::string &title, const std::string &text) = 0;
    // A message that must not wait for an answer. By default it goes where
    // messages go; the interactive responder shows it without blocking.
    virtual void note(const std::string &title, const std::string &text) { message(title, text); }
    // Returns 1 with the path the operator chose in pathName, or 0 when
    // cancelled. FileSelectPopup applies the extension and directory rules
    // to the answer, so they hold whoever answers.
    virtual int fileSelect(const FileSelectRequest &request, std::string *pathName) = 0;
    // Returns 1 with the typed line in response, or 0 when cancelled. A
    // responder that cannot ask answers with an empty line.
    virtual int prompt(const std::string &title, const std::string &text, std::string *response) {
        (void)title;
        (void)text;
        response->clear();
        return 1;
    }
};
// Installs a responder (not owned); nullptr restores the interactive one.
void SetPopupResponder(PopupResponder *responder);

// ---- serial ports -------------------------------------------------------------------------
enum {
    LWRS_RXCHAR = 0x0001,
    LWRS_RXFLAG = 0x0002,
    LWRS_TXEMPTY = 0x0004,
    LWRS_RECEIVE = 0x8000,
};
using ComCallbackPtr = void (*)(int portNumber, int eventMask, void *callbackData);

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits, int stopBits,
                  int inputQueueSize, int outputQueueSize);
int CloseCom(int port);
int ComWrt(int port, const char *buffer, int count);
int ComRd(int port, char *buffer, int count);
int ComRdTerm(int port, char *buffer, int count, int terminationByte);
int FlushInQ(int port);
int FlushOutQ(int port);
int GetInQLen(int port);
int GetOutQLen(int port);
int SetComTime(int port, double timeoutSeconds);
int SetCTSMode(int port, int mode);
int SetXMode(int port, int mode);
int InstallComCallback(int port, int eventMask, int notifyCount, int eventCharacter, ComCallbackPtr callback,
                       void *callbackData);
// Port number to device name: an explicit mapping (from the settings file's
// serial-port section) wins; else the n-th detected port sorted by name.
void SetComPortDevice(int port, const std::string &deviceName);
void ClearComPortDevices();
std::string GetComPortDevice(int port);
// The USB serial number of the device behind port number n, as the system
// reports it; "" when it reports none (a built-in port, a pty) or no device
// is there.
std::string GetComPortSerialNumber(int port);
// The port number whose device reports this serial number now, among the
// mapped ports and the detected ones; 0 when none does (or serial is "").
int FindComPortBySerialNumber(const std::string &serial);
// Makes a device report a serial number the system gives it none for (a
// pty standing in for a USB converter); "" takes it back.
void SetComPortSerialNumber(const std::string &deviceName, const std::string &serial);

// ---- TCP client ----------------------------------------------------------------------------
enum { TCP_DISCONNECT = 1, TCP_DATAREADY = 2 };
using tcpFuncPtr = int (*)(unsigned handle, int xType, int errCode, void *callbackData);
int ConnectToTCPServer(unsigned *conversationHandle, unsigned portNumber, const char *serverHostName,
                       tcpFuncPtr callback, void *callbackData, unsigned timeoutMs);
int DisconnectFromTCPServer(unsigned conversationHandle);
// Ends every conversation without calling back (the engine's shutdown).
void CloseAllTCPConversations();
// Write: returns the bytes written or a negative code.
int ClientTCPWrite(unsigned conversationHandle, const void *data, unsigned size, unsigned timeoutMs);
// Read: returns what is waiting (up to size) at once; with nothing waiting it
// waits up to timeoutMs for data. Returns 0 when nothing came, or a negative code.
int ClientTCPRead(unsigned conversationHandle, void *buffer, unsigned size, unsigned timeoutMs);

// ---- files and time ------------------------------------------------------------------------
enum { VAL_READ_ONLY = 1, VAL_WRITE_ONLY = 2, VAL_READ_WRITE = 3 };
enum { VAL_TRUNCATE = 0, VAL_APPEND = 1, VAL_OPEN_AS_IS = 2 };
enum { VAL_BINARY = 0, VAL_ASCII = 1 };
int OpenFile(const char *fileName, int readWriteMode, int action, int fileType);
int CloseFile(int fileHandle);
// Reads one line without its line end; returns its length, -2 at end of file,
// -1 on error. A longer line is cut to maxChars and the rest is skipped.
int ReadLine(int fileHandle, char *buffer, int maxChars);
// Writes count characters (-1 = up to the terminating zero) and a line end:
// CR LF in a file opened VAL_ASCII, LF in a binary one. The line reaches the
// file whole or not at all, as with FmtFile.
int WriteLine(int fileHandle, const char *buffer, int count);
int WriteFile(int fileHandle, const char *buffer, std::size_t count);
// Formatted output (printf conversions) to a file. In a file opened
// VAL_ASCII every line feed of the output is written as CR LF. The output
// reaches the file whole or not at all: a write the file system refuses
// part-way (disk full, file-size limit) cuts the file back to where it
// ended before. Returns the bytes written, or -1 (GetFmtIOError says why).
int FmtFile(int fileHandle, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Writes what the file holds through to the disk, so a crash or power cut
// after it loses none of it. 0, or -1 (GetFmtIOError says why).
int SyncFile(int fileHandle);
// Code of the last failed file operation: 0 none, 1 to 10 as the recorder reports them.
int GetFmtIOError();
// 1 = exists (size set), 0 = does not, negative = error.
int GetFileInfo(const char *fileName, long *fileSize);
// Hidden/read-only/system/archive flags; a no-op where the file system has none (Linux).
int SetFileAttrs(const char *fileName, int readOnly, int system, int hidden, int archive);
int MakePathname(const char *directory, const char *fileName, char *pathName);
std::string MakePathname(const std::string &directory, const std::string &fileName);
int GetProjectDir(char *directory);
std::string GetProjectDir();
// Makes GetProjectDir answer with another folder (tests run the program in
// a temporary folder of their own); an empty string restores the default.
void SetProjectDir(const std::string &directory);
// Directory for the program's own files: the executable's directory, or the
// per-user data directory where that one is not writable.
std::string GetWritableDataDir();
std::string DateStr(); // MM-DD-YYYY
std::string TimeStr(); // HH:MM:SS
// HH:MM:SS.mmm; its first eight characters are what TimeStr says at that moment.
std::string TimeStrMs();
double Timer();        // monotonic seconds
void StringUpperCase(char *s);
// SHA-256 of the bytes of text, as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string &text);
// SHA-256 of a file's content, as Sha256Hex gives it; empty when the file
// cannot be read. Tells whether a file changed since it was last looked at.
std::string FileSha256Hex(const char *fileName);
