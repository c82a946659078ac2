#include "qml_types.h"

#include <QtQml/qqml.h>

#include "app_model.h"
#include "node_value.h"
#include "scan_progress_value.h"

namespace tidewell {

void registerQmlTypes() {
    qRegisterMetaType<NodeValue>();
    qRegisterMetaType<ScanProgressValue>();
    // The one AppModel is made in C++ and handed to the window; QML reads its
    // enums (AppModel.scanning …) through this registration.
    qmlRegisterUncreatableType<AppModel>(
        "Tidewell", 1, 0, "AppModel", QStringLiteral("the application's one model is made in C++"));
}

}  // namespace tidewell
