// Found instead of Qt's own by the libraries that must stay free of widgets:
// every Qt Widgets header includes this one first, so including any of them
// there stops the build.
#error "This library is free of widgets: it may not include a Qt Widgets header."
