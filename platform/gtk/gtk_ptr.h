#pragma once
// Owning pointers for the GLib, GTK and cairo objects the backend creates.

#include <memory>

#include <cairo.h>
#include <glib-object.h>

#include "util/c_deleter.h"

namespace plat::gtk {

using util::CDeleter;

// Holds one reference of any GObject (widgets included: take a reference
// with g_object_ref_sink on creation so the holder decides when it dies).
template <class T>
using ObjectPtr = std::unique_ptr<T, CDeleter<g_object_unref>>;

using RegionPtr = std::unique_ptr<cairo_region_t, CDeleter<cairo_region_destroy>>;
using SurfacePtr = std::unique_ptr<cairo_surface_t, CDeleter<cairo_surface_destroy>>;
using CharPtr = std::unique_ptr<char, CDeleter<g_free>>;

}  // namespace plat::gtk
