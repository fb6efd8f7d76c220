// Server classes, names and user-visible texts shared by the server table,
// the filters' describe callbacks and anything that activates a server.
#pragma once

#define CLASS_PIXEL_FILTER_HANDLER "PixelFilterHandler"
#define CLASS_PIXEL_FILTER_INTERFACE "PixelFilterInterface"
#define CLASS_IMAGE_FILTER_HANDLER "ImageFilterHandler"
#define CLASS_IMAGE_FILTER_INTERFACE "ImageFilterInterface"
#define CLASS_NODE_HANDLER "NodeHandler"
#define CLASS_NODE_INTERFACE "NodeInterface"

#define SERVER_PIXEL_FILTER "Tavi_NodePixelFilter"
#define SERVER_PIXEL_NODE "Tavi_PixelFilterAccessNode"
#define SERVER_IMAGE_FILTER "Tavi_NodeImageFilter"
#define SERVER_IMAGE_NODE "Tavi_ImageFilterAccessNode"

#define TITLE_PIXEL_FILTER "Tavi Node PixelFilter"
#define TITLE_PIXEL_NODE "Tavi PixelFilter Access Node"
#define TITLE_IMAGE_FILTER "Tavi Node ImageFilter"
#define TITLE_IMAGE_NODE "Tavi ImageFilter Access Node"
