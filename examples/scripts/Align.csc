{
  "identifier": "Align",
  "container": {
    "87379": {"1": "Align Objects", "2": "Lines the selected objects up along an axis"},
    "83013": {"1": "Objekte ausrichten"}
  },
  "source": "main(doc) { }"
}
