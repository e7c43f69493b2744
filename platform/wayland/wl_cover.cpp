#include "platform/wayland/wl_cover.h"

#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>


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
    role_ = std::make_unique<SurfaceRole>(globals, surface_, RoleSettings{RoleKind::Cover, output, "", ""}, *this);
    wl_surface_commit(surface_);
}

BlackCover::~BlackCover() {
    role_.reset();
    wl_surface_destroy(surface_);
    if (buffer_ != nullptr) wl_buffer_destroy(buffer_);
}

void BlackCover::Configured(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return;  // a cover has no size of its own
    if (buffer_ != nullptr && width == bufferWidth_ && height == bufferHeight_) return;
    wl_buffer* old = buffer_;
    buffer_ = CreateBlackBuffer(globals_.shm(), width, height);
    bufferWidth_ = width;
    bufferHeight_ = height;
    if (buffer_ != nullptr) {
        wl_surface_attach(surface_, buffer_, 0, 0);
        wl_surface_damage(surface_, 0, 0, width, height);
    }
    wl_surface_commit(surface_);
    // The old buffer goes once the surface has been given the new one.
    if (old != nullptr) wl_buffer_destroy(old);
}

}  // namespace veltrane::platform
