#include <iostream>
#include <string>
#include <vector>

#include "server/server_tool.h"

int main(int argc, char** argv) {
  return zi::server::RunServerTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
