// Prints the page script of a small registration, for the glue check in Node.
#include <iostream>

#include "sorrel/cef/Manager.h"
#include "sorrel/cef/PageScript.h"

int main() {
  Sorrel::cef::Manager m;
  m.AppendPrelude("app.com=app.com||{};");
  m.AddQuery(std::make_shared<Sorrel::cef::JsQueryHandler>("ComOpen", "app.com.open", 0));
  m.AddQuery(std::make_shared<Sorrel::cef::JsQueryHandler>("ComTcmdEWLEX", "app.com.tcmdEWLEX", 1));
  std::cout << Sorrel::cef::BuildPageScript(m);
  return 0;
}
