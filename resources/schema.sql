-- The schema of the template database "parlivodb.sql", which the build makes from this file
-- and the program copies into the documents directory on its first start. The program never
-- creates tables itself. Columns have no defaults: an insert leaves them NULL, and the reading
-- rules turn NULL into "" for text, the default category for category, 0 for numbers and no
-- photo for image.
CREATE TABLE recordings (
    pk INTEGER PRIMARY KEY,
    title TEXT,
    audioFileName TEXT,
    size TEXT,
    category TEXT,
    comments TEXT,
    length REAL,
    playCount INTEGER,
    createdDate REAL,
    location INTEGER,
    image BLOB
);

CREATE TABLE categories (
    category TEXT
);
