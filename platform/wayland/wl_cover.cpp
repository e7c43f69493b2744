#include "platform/wayland/wl_cover.h"

#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>

#include "viewporter-client-protocol.h"

namespace veltrane::platform {

wl_buffer* CreateBlackBuffer(wl_shm* shm, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    const std::int32_t stride = width * 4;
    const std::int32_t size = stride * height;
    const int fd = memfd_create("veltrane-black", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    wl_buffer* buffer = nullptr;
    if (ftruncate(fd, size) == 0) {  // a new file reads as zeros: black
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
        buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);  // the buffer keeps the memory
    }
    close(fd);
    return buffer;
}

BlackCover::BlackCover(WaylandGlobals& globals, wl_output* output) : globals_(globals) {
    surface_ = wl_compositor_create_surface(globals.compositor());
    if (globals.viewporter() != nullptr) viewport_ = wp_viewporter_get_viewport(globals.viewporter(), surface_);
    role_ = std::make_unique<SurfaceRole>(globals, surface_, RoleSettings{RoleKind::Cover, output, "", ""}, *this);
    wl_surface_commit(surface_);
}

BlackCover::~BlackCover() {
    role_.reset();
    if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
    wl_surface_destroy(surface_);
    if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
}

void BlackCover::Configured(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        width = 1;
        height = 1;
    }
    const std::int32_t bufferWidth = viewport_ != nullptr ? 1 : width;
    const std::int32_t bufferHeight = viewport_ != nullptr ? 1 : height;
    wl_buffer* old = nullptr;
    if (buffer_ == nullptr || bufferWidth != bufferWidth_ || bufferHeight != bufferHeight_) {
        old = buffer_;
        buffer_ = CreateBlackBuffer(globals_.shm(), bufferWidth, bufferHeight);
        bufferWidth_ = bufferWidth;
        bufferHeight_ = bufferHeight;
    }
    if (buffer_ != nullptr) {
        if (viewport_ != nullptr) wp_viewport_set_destination(viewport_, width, height);
        wl_surface_attach(surface_, buffer_, 0, 0);
        wl_surface_damage(surface_, 0, 0, width, height);
        wl_surface_commit(surface_);
    }
    // The old buffer goes once the surface has been given the new one.
    if (old != nullptr) wl_buffer_destroy(old);
}

}  // namespace veltrane::platform
