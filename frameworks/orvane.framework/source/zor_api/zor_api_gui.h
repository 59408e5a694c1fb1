/* User interaction family: console, message boxes, selections, status bar, events, dialogs and
 * user areas. Dialogs are bound to one module object and one callback; the host delivers every
 * message through that callback as a container whose id is the message code.
 * Threads: the console, message boxes, the status bar and special events from any thread; selections,
 * dialogs and user areas on the main thread only. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* message codes and the value ids read from them */
enum {
  ZOR_MSG_INIT = ZOR_FOUR_BYTE('b', 'I', 'N', 'I'),
  ZOR_MSG_INIT_VALUES = ZOR_FOUR_BYTE('b', 'V', 'I', 'N'),
  ZOR_MSG_COMMAND = ZOR_FOUR_BYTE('b', 'A', 'C', 'T'),
  ZOR_MSG_SYNC = ZOR_FOUR_BYTE('s', 'y', 'n', 'c'),
  ZOR_MSG_CORE = ZOR_FOUR_BYTE('M', 'c', 'i', 'M'),
  ZOR_MSG_CHECK_CLOSE = ZOR_FOUR_BYTE('c', 'h', 'k', 'c'),
  ZOR_MSG_ASK_CLOSE = ZOR_FOUR_BYTE('a', 's', 'k', 'c'),
  ZOR_MSG_DESTROY = ZOR_FOUR_BYTE('d', 's', 't', 'y'),
  ZOR_MSG_INTERACT = ZOR_FOUR_BYTE('i', 'n', 't', 'a'),
  ZOR_MSG_CALC_SIZE = ZOR_FOUR_BYTE('b', 'C', 'A', 'S'),
  ZOR_MSG_SIZE_CHANGED = ZOR_FOUR_BYTE('b', 'I', 'S', 'I'),
  ZOR_MSG_DRAW = ZOR_FOUR_BYTE('b', 'D', 'R', 'A'),
  ZOR_MSG_INPUT = ZOR_FOUR_BYTE('b', 'I', 'P', 'N'),
  /* a notice of the host's own, number 10020; the dialog and user area base classes acknowledge it */
  ZOR_MSG_HOST_NOTICE = 10020,
  ZOR_MSG_VALUE_GADGET_ID = ZOR_FOUR_BYTE('m', 'e', 'i', 'd'),
  ZOR_MSG_VALUE_EVENT_ID = ZOR_FOUR_BYTE('M', 'c', 'i', 'I'),
  /* "bACT" of a text field: true while the user is still typing, false (or absent) when the edit is
   * committed; and the field's text at that moment */
  ZOR_MSG_VALUE_EDITING = ZOR_FOUR_BYTE('m', 'e', 's', 't'),
  ZOR_MSG_VALUE_TEXT = ZOR_FOUR_BYTE('m', 'e', 'v', 'a')
};

/* dialog types for dialog_open */
enum { ZOR_DIALOG_MODAL = 10, ZOR_DIALOG_MODAL_RESIZABLE = 11, ZOR_DIALOG_ASYNC = 20 };
/* standard button row flags */
enum { ZOR_BUTTONS_OK = 1, ZOR_BUTTONS_CANCEL = 2 };
/* core messages (send_core_message): the code, and the ids of the containers the host knows */
enum {
  ZOR_CORE_MESSAGE = 0x434D6369,
  /* request for the host information; the answer's string entry ZOR_HOST_INFO_BUILD names the build */
  ZOR_CORE_HOST_INFO = 0x674F474C,
  ZOR_HOST_INFO_BUILD = 2010,
  /* a crash-checking run: boolean entry 1 true when it starts a scene, false when the run has ended */
  ZOR_CORE_CRASH_CHECK = 200000254
};
/* message box types */
enum { ZOR_MESSAGE_OK = 0, ZOR_MESSAGE_YES_NO = 1 };
/* selection kinds for select_file */
enum { ZOR_SELECT_LOAD = 0, ZOR_SELECT_SAVE = 1, ZOR_SELECT_FOLDER = 2 };
/* host colour ids for user_area_set_pen and user_area_set_text_color */
enum {
  ZOR_COLOR_BACKGROUND = 1000,
  ZOR_COLOR_TEXT = 1003,
  ZOR_COLOR_EDGE_LIGHT = 1006,
  ZOR_COLOR_EDGE_DARK = 1007,
  ZOR_COLOR_LIST_TEXT = 1159
};
/* mouse pointers for set_mouse_pointer */
enum { ZOR_POINTER_NORMAL = 2, ZOR_POINTER_BUSY = 3 };
/* custom gadget types */
enum { ZOR_GADGET_FILENAME = 1000478, ZOR_GADGET_TREEVIEW = 1000475, ZOR_GADGET_BITMAPBUTTON = 1000479 };
/* settings of the custom gadgets, as add_custom_gadget reads them: a border around the gadget (bool), a
 * tree view's column headers (bool), a bitmap button's size (-1: the image's own) and whether it acts as
 * a button (bool) */
enum {
  ZOR_GADGET_BORDER = ZOR_FOUR_BYTE('b', 'r', 'd', 'r'),
  ZOR_TREEVIEW_HAS_HEADER = ZOR_FOUR_BYTE('t', 'v', 'h', 'h'),
  ZOR_BITMAPBUTTON_SIZE = ZOR_FOUR_BYTE('s', 'i', 'z', 'e'),
  ZOR_BITMAPBUTTON_BUTTON = ZOR_FOUR_BYTE('b', 'u', 't', 't')
};
/* tree-view column types: the column that holds the names (and the tree's lines), and a column the
 * module draws itself through draw_cell */
enum {
  ZOR_TREEVIEW_COLUMN_TREE = ZOR_FOUR_BYTE('t', 'r', 'e', 'e'),
  ZOR_TREEVIEW_COLUMN_USER = ZOR_FOUR_BYTE('u', 's', 'e', 'r')
};
/* how the user selected a node (select's mode): it alone, added to the selection, removed from it */
enum { ZOR_TREEVIEW_SELECT_NEW = 0, ZOR_TREEVIEW_SELECT_ADD = 1, ZOR_TREEVIEW_SELECT_SUB = 2 };
/* tab group types for tab_group_begin_typed: tabs; the active page is set with set_int32 on the tab
 * group's id, its value the page's (group) id, and read with get_int32 likewise */
enum { ZOR_TAB_GROUP_TABS = 0 };

/* One cell (or header cell) of a tree view the module draws. area is the gadget's drawing area, lent
 * for the call: draw into it with the user_area_ drawing operations, in the gadget's coordinates. */
typedef struct HostTreeViewCell {
  int32_t column; /* the column id of the layout */
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t background_color; /* host colour id of the row, or of the header */
  HostUserArea* area;
} HostTreeViewCell;

/* The module's operations a tree view calls to walk, size, draw and change the module's list. functions,
 * root and user_data are what the module handed to tree_view_set_root; nodes are the module's own
 * pointers, never read by the host. Each is called on the main thread and must not throw. get_name
 * writes into the string the host lends. Sizes of -1 mean "the host's own". zorhost calls all but
 * get_pred, is_opened, get_id, get_drag_type and get_drag_object. Append only. */
typedef struct HostTreeViewCallbacks {
  int32_t size;
  void* (*get_first)(void* functions, void* root, void* user_data);
  void* (*get_down)(void* functions, void* root, void* user_data, void* node); /* first child */
  void* (*get_next)(void* functions, void* root, void* user_data, void* node);
  void* (*get_pred)(void* functions, void* root, void* user_data, void* node);
  int32_t (*get_column_width)(void* functions, void* root, void* user_data, void* node, int32_t column,
                              HostUserArea* area);
  int32_t (*get_header_column_width)(void* functions, void* root, void* user_data, int32_t column,
                                     HostUserArea* area);
  int32_t (*get_line_height)(void* functions, void* root, void* user_data, void* node, int32_t column,
                             HostUserArea* area);
  void (*draw_cell)(void* functions, void* root, void* user_data, void* node, const HostTreeViewCell* cell);
  void (*draw_header_column)(void* functions, void* root, void* user_data, const HostTreeViewCell* cell);
  bool (*is_selected)(void* functions, void* root, void* user_data, void* node);
  bool (*is_opened)(void* functions, void* root, void* user_data, void* node); /* children are shown */
  void (*get_name)(void* functions, void* root, void* user_data, void* node, HostString* name);
  int64_t (*get_id)(void* functions, void* root, void* user_data, void* node);
  /* 0 or below: the node cannot be dragged */
  int32_t (*get_drag_type)(void* functions, void* root, void* user_data, void* node);
  void (*select)(void* functions, void* root, void* user_data, void* node, int32_t mode);
  /* the object a drag of the node carries, the module's; valid until the next drag */
  void* (*get_drag_object)(void* functions, void* root, void* user_data, void* node);
  /* true when the module handled it; false lets the host open or close the node */
  bool (*double_click)(void* functions, void* root, void* user_data, void* node, int32_t column);
} HostTreeViewCallbacks;

/* Answers the handler's result. user_area is null for dialog messages. Called on the main thread; the
 * message is lent for the call. */
typedef bool (*HostDialogCallback)(HostDialog* dialog, HostUserArea* user_area, const HostContainer* message);

/* Append only; never reorder. */
typedef struct HostGuiTable {
  int32_t size;

  /* console, message boxes, selections, status bar; texts stay the caller's */
  void (*console_print)(const HostString* text); /* one line; any thread */
  /* any thread (a worker reports a report it cannot write); blocks until answered; 1 for OK or yes,
   * 0 for no or when nobody can answer */
  int32_t (*message_box)(const HostString* text, int32_t type);
  /* main thread; false when the user cancels; for folders, name is the chosen folder */
  bool (*select_file)(HostFilename* name, int32_t kind, const HostString* title);
  /* the status bar: any thread */
  void (*status_set_percent)(int32_t percent);
  void (*status_set_text)(const HostString* text);
  void (*status_clear)(void);
  void (*set_mouse_pointer)(int32_t pointer);
  /* any thread; delivered to the open dialogs on the main thread as ZOR_MSG_CORE */
  void (*special_event)(int32_t id, int64_t p1, int64_t p2);

  /* dialogs, main thread only */
  HostDialog* (*dialog_alloc)(HostDialogCallback callback, void* object); /* the caller frees it */
  void (*dialog_free)(HostDialog* dlg);
  void* (*dialog_object)(HostDialog* dlg); /* the module's object it was made with */
  void (*dialog_set_plugin)(HostDialog* dlg, int32_t plugin_id, int32_t sub_id);
  /* modal types return when the dialog has closed */
  bool (*dialog_open)(HostDialog* dlg, int32_t type, int32_t x, int32_t y, int32_t width, int32_t height);
  bool (*dialog_close)(HostDialog* dlg);
  bool (*dialog_check_close)(HostDialog* dlg);
  bool (*dialog_restore)(HostDialog* dlg, int32_t plugin_id, int32_t sub_id, void* secret);
  void (*dialog_set_title)(HostDialog* dlg, const HostString* title);
  void (*dialog_send_result)(HostDialog* dlg, const HostContainer* result); /* copied */

  /* layout, in the order the module builds it; texts and settings are copied */
  bool (*group_begin)(HostDialog* dlg, int32_t id, int32_t flags, int32_t columns, int32_t rows,
                      const HostString* title, int32_t group_flags);
  bool (*group_end)(HostDialog* dlg);
  bool (*tab_group_begin)(HostDialog* dlg, int32_t id, int32_t flags);
  bool (*add_static_text)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height,
                          const HostString* text);
  bool (*add_checkbox)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height,
                       const HostString* text);
  bool (*add_button)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height,
                     const HostString* text);
  bool (*add_edit_text)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height);
  bool (*add_edit_number)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height);
  bool (*add_combo_box)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height);
  bool (*add_child)(HostDialog* dlg, int32_t id, int32_t child_id, const HostString* text);
  /* borrowed from the dialog, which frees it with itself */
  HostGadget* (*add_custom_gadget)(HostDialog* dlg, int32_t id, int32_t type, int32_t flags, int32_t width,
                                   int32_t height, const HostContainer* settings);
  bool (*add_user_area)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height);
  bool (*attach_user_area)(HostDialog* dlg, int32_t id, HostUserArea* ua);
  bool (*add_dialog_buttons)(HostDialog* dlg, int32_t flags);

  /* gadget values; a getter leaves *value alone and answers false when the gadget has none */
  bool (*set_bool)(HostDialog* dlg, int32_t id, bool value);
  bool (*set_int32)(HostDialog* dlg, int32_t id, int32_t value);
  bool (*set_float)(HostDialog* dlg, int32_t id, double value);
  bool (*set_string)(HostDialog* dlg, int32_t id, const HostString* value);
  bool (*get_bool)(HostDialog* dlg, int32_t id, bool* value);
  bool (*get_int32)(HostDialog* dlg, int32_t id, int32_t* value);
  bool (*get_float)(HostDialog* dlg, int32_t id, double* value);
  bool (*get_string)(HostDialog* dlg, int32_t id, HostString* value);
  bool (*enable)(HostDialog* dlg, int32_t id, bool enabled);
  /* custom gadget data: a container keyed by the gadget type (ZOR_GADGET_FILENAME holds a file name);
   * set copies it, get writes into the caller's container */
  bool (*gadget_set_data)(HostGadget* gadget, const HostContainer* data);
  bool (*gadget_get_data)(HostGadget* gadget, HostContainer* data);

  /* user areas, main thread only */
  HostUserArea* (*user_area_alloc)(HostDialogCallback callback, void* object); /* the caller frees it */
  void (*user_area_free)(HostUserArea* ua);
  void* (*user_area_object)(HostUserArea* ua); /* the module's object it was made with */
  void (*user_area_set_min_size)(HostUserArea* ua, int32_t width, int32_t height);
  void (*user_area_get_size)(HostUserArea* ua, int32_t* width, int32_t* height);
  void (*user_area_set_pen)(HostUserArea* ua, int32_t color_id);
  void (*user_area_fill)(HostUserArea* ua, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void (*user_area_redraw)(HostUserArea* ua);

  /* A core message to the host and its other plug-ins: code is a ZOR_CORE_ code, message is lent for the
   * call. Answers a new container the caller frees, or null when nobody answered. Any thread. */
  HostContainer* (*send_core_message)(int32_t code, const HostContainer* message);

  /* tree views (ZOR_GADGET_TREEVIEW), main thread only. The host keeps the pointers, never owns them
   * and calls back through callbacks (which must outlive the dialog) until another root is set or the
   * dialog is freed; a null root or callbacks shows an empty list. */
  bool (*tree_view_set_root)(HostGadget* gadget, void* root, const HostTreeViewCallbacks* callbacks,
                             void* functions, void* user_data);
  /* the columns, in the order shown: count ids with their ZOR_TREEVIEW_COLUMN_ types (copied) */
  bool (*tree_view_set_layout)(HostGadget* gadget, int32_t count, const int32_t* column_ids,
                               const int32_t* column_types);
  /* walks the list again; the module calls it after changing its nodes */
  void (*tree_view_refresh)(HostGadget* gadget);
  /* a bitmap button (ZOR_GADGET_BITMAPBUTTON) shows a copy of the bitmap; null clears it */
  bool (*bitmap_button_set_image)(HostGadget* gadget, const HostBitmap* bitmap);
  /* tab_group_begin with a ZOR_TAB_GROUP_ type; its pages are the groups up to its group_end */
  bool (*tab_group_begin_typed)(HostDialog* dlg, int32_t id, int32_t flags, int32_t tab_type);
  /* a text field of several lines; its value is a string like an edit field's */
  bool (*add_multi_line_edit_text)(HostDialog* dlg, int32_t id, int32_t flags, int32_t width, int32_t height,
                                   int32_t style);

  /* drawing into a user area or a tree view's drawing area (HostTreeViewCell.area); lines and fills use
   * the pen of user_area_set_pen, texts the colours of user_area_set_text_color (host colour ids) */
  void (*user_area_set_text_color)(HostUserArea* ua, int32_t foreground_id, int32_t background_id);
  void (*user_area_draw_text)(HostUserArea* ua, const HostString* text, int32_t x, int32_t y); /* top left */
  int32_t (*user_area_text_width)(HostUserArea* ua, const HostString* text);
  int32_t (*user_area_font_height)(HostUserArea* ua);
  void (*user_area_draw_line)(HostUserArea* ua, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
} HostGuiTable;

#ifdef __cplusplus
}
#endif

/* Layout flags of a gadget or group: how it sits in its cell of the group's grid. */
enum {
  ZOR_LAYOUT_LEFT = 0x08,  /* left aligned, at its own width */
  ZOR_LAYOUT_FIT_H = 0x18, /* left aligned and stretched across the cell */
  ZOR_LAYOUT_FIT = 0x38,   /* stretched across and down the cell */
  ZOR_LAYOUT_FILL = 0x3F   /* stretched across and down, growing with the dialog */
};
/* group flags of a dialog's outermost group when it splits the dialog into panes */
enum { ZOR_GROUP_PANES = 0x10000 };
/* settings entry of a ZOR_GADGET_FILENAME gadget: true when it chooses a folder rather than a file */
enum { ZOR_FILENAME_CHOOSES_FOLDER = 10000 };
