#pragma once

#include <optional>
#include <string>
#include <vector>

#include "field/InsertMethod.h"

// Per application, the write method that last worked there; kept in memory for the run.
namespace AppMemory {

// The base order with the remembered method first, when the base order allows it.
std::vector<InsertMethod> order(const std::string& bundleID, const std::vector<InsertMethod>& base);
std::optional<InsertMethod> working(const std::string& bundleID);
void remember(const std::string& bundleID, InsertMethod method);
void resetForTesting();

}  // namespace AppMemory
