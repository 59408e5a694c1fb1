// A source for trying the Translator Locator.
#include "greeting.h"

void Greet(Console& console, int count) {
  console.Print("Hello, world!");
  console.Print("%d scenes rendered", count);
  console.Print("42");
}
