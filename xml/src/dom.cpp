// Placeholder until the document tree lands.
