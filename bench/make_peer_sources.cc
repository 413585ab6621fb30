// Writes the sources the peers' import figures are measured on: an Anki package of 30000 cards
// (15000 notes of two cards) with 300000 review rows, and a 30000-row CSV table.
//   make_peer_sources FOLDER   (writes FOLDER/deck.apkg and FOLDER/deck.csv)
#include <cstdio>
#include <fstream>
#include <string>

#include "anki_package_builder.h"

using namespace kelvora::testing;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_peer_sources FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  PackageContents contents;
  contents.creationSeconds = 1500000000;
  contents.noteTypes = {{1,
                         false,
                         {"Front", "Back"},
                         {{"{{Front}}", "{{FrontSide}}<hr id=answer>{{Back}}"},
                          {"{{Back}}", "{{FrontSide}}<hr id=answer>{{Front}}"}}}};
  constexpr int kNotes = 15000;
  for (int n = 0; n < kNotes; ++n) {
    const std::int64_t note = 1500000000000 + n;
    contents.notes.push_back({note,
                              "guid" + std::to_string(n),
                              1,
                              {"question number " + std::to_string(n) + " of the deck",
                               "answer number " + std::to_string(n)},
                              n % 3 == 0 ? "tag" : ""});
    for (int ord = 0; ord < 2; ++ord) {
      const std::int64_t card = note * 2 + ord;
      const bool learned = n % 4 != 3;
      contents.cards.push_back({card, note, ord, learned ? 2 : 0, learned ? 2 : 0,
                                learned ? 2000 + n % 300 : n, learned ? 1 + n % 400 : 0,
                                learned ? 2500 : 0, n % 5});
      for (int r = 0; r < 10; ++r) {
        contents.reviews.push_back(
            {(1500000000 + std::int64_t{r} * 864000 + n) * 1000 + ord, card, r == 4 ? 1 : 3, 1});
      }
    }
  }
  writePackage(contents, folder + "/deck.apkg");
  std::ofstream csv(folder + "/deck.csv", std::ios::binary);
  for (int i = 0; i < 30000; ++i) {
    csv << "question number " << i << " of the table;answer number " << i << "\n";
  }
  return csv.good() ? 0 : 1;
}
