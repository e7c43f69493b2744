/* The floor for the renderer's start-up: the least a program must do to put a GL
 * window on the screen. It opens the display, chooses an RGBA double-buffered
 * configuration with a 16-bit depth buffer, creates a 1024x768 window at (0, 0)
 * and a context, makes it current and maps the window; then it clears the window
 * once on every exposure and ends on a close request (WM_DELETE_WINDOW). */
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main(void) {
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) return 1;
  const int screen = DefaultScreen(display);
  const int attributes[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT,
                            GLX_DOUBLEBUFFER, True, GLX_DEPTH_SIZE, 16, None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes, &count);
  if (configs == NULL || count == 0) return 2;
  GLXFBConfig config = configs[0];
  XFree(configs);
  XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
  if (visual == NULL) return 3;

  const Window root = RootWindow(display, screen);
  XSetWindowAttributes set = {0};
  set.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  set.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask;
  set.border_pixel = 0;
  const Window window = XCreateWindow(display, root, 0, 0, 1024, 768, 0, visual->depth, InputOutput, visual->visual,
                                      CWColormap | CWEventMask | CWBorderPixel, &set);
  XStoreName(display, window, "bare_glx");
  Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &deleteWindow, 1);

  GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, NULL, True);
  if (context == NULL || !glXMakeCurrent(display, window, context)) return 4;
  XMapRaised(display, window);
  XFlush(display);

  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == Expose && event.xexpose.count == 0) {
      glClear(GL_COLOR_BUFFER_BIT);
      glXSwapBuffers(display, window);
    } else if (event.type == ClientMessage && (Atom)event.xclient.data.l[0] == deleteWindow) {
      break;
    }
  }
  glXMakeCurrent(display, None, NULL);
  glXDestroyContext(display, context);
  XDestroyWindow(display, window);
  XFree(visual);
  XCloseDisplay(display);
  return 0;
}
