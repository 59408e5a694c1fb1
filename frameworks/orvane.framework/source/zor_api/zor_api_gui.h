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
  ZOR_MSG_10020 = 10020,
  ZOR_MSG_VALUE_GADGET_ID = ZOR_FOUR_BYTE('m', 'e', 'i', 'd'),
  ZOR_MSG_VALUE_EVENT_ID = ZOR_FOUR_BYTE('M', 'c', 'i', 'I')
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
/* host colour ids for user_area_set_pen */
enum { ZOR_COLOR_BACKGROUND = 1000 };
/* custom gadget types */
enum { ZOR_GADGET_FILENAME = 1000478, ZOR_GADGET_TREEVIEW = 1000479, ZOR_GADGET_BITMAPBUTTON = 1000480 };

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
} HostGuiTable;

#ifdef __cplusplus
}
#endif
