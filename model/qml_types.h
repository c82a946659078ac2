// Makes the model's types known to QML under the import "Tidewell 1.0".
#pragma once

namespace tidewell {

void registerQmlTypes();

}  // namespace tidewell
