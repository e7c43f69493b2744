#include "saver/controls/pointer_window.h"

#include <cstdlib>

#include <xcb/xcb.h>

namespace veltrane::platform {

bool QueryPointer(xcb_connection_t* connection, std::uint32_t anyWindow, PointerOnRoot& pointer) {
  if (!connection || xcb_connection_has_error(connection)) return false;
  xcb_generic_error_t* error = nullptr;
  xcb_query_pointer_reply_t* reply =
      xcb_query_pointer_reply(connection, xcb_query_pointer(connection, anyWindow), &error);
  std::free(error);
  if (!reply) return false;
  pointer.root = reply->root;
  pointer.x = reply->root_x;
  pointer.y = reply->root_y;
  std::free(reply);
  return true;
}

std::uint32_t WindowAtPoint(xcb_connection_t* connection, std::uint32_t root, int x, int y) {
  if (!connection || xcb_connection_has_error(connection) || root == 0) return 0;
  std::uint32_t window = root;
  // Window trees are shallow; the bound only guards against a server gone strange.
  for (int depth = 0; depth < 64; ++depth) {
    xcb_generic_error_t* error = nullptr;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection,
        xcb_translate_coordinates(connection, root, window, static_cast<std::int16_t>(x),
                                  static_cast<std::int16_t>(y)),
        &error);
    std::free(error);
    if (!reply) return 0;
    std::uint32_t child = reply->child;
    std::free(reply);
    if (child == XCB_WINDOW_NONE) return window;
    window = child;
  }
  return 0;
}

}  // namespace veltrane::platform
