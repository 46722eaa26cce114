-- The tables and rights of a class server, run once by the school's database administrator
-- (as the owner of the database, e.g. psql -d school -f class-server.sql). Then, per class,
-- a role that may log in (see the end of this file).
--
-- Learners' machines may only add rows and read the rows of their own class: every row
-- carries its class, and the row-level policies below compare it with the class the
-- connecting role belongs to (parlanto_classes). No machine may change or delete a row.

BEGIN;

CREATE ROLE parlanto_learners NOLOGIN;

-- Which login role sends for which class.
CREATE TABLE parlanto_classes (
    class_name text PRIMARY KEY,
    role_name  name NOT NULL UNIQUE
);

-- One result of an activity (a row of tblscores on a learner's machine). A row is named by
-- the random identity of the users database part it comes from and its key there.
CREATE TABLE parlanto_scores (
    origin       text   NOT NULL,
    origin_key   bigint NOT NULL,
    class_name   text   NOT NULL,
    learner      text   NOT NULL,
    activity     text,
    subject      text,
    text_score   text,
    number_score double precision,
    score_date   text,
    score_time   text,
    received     timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (origin, origin_key)
);

-- One answered phrase (a row of tblPhraseResults).
CREATE TABLE parlanto_phrase_results (
    origin       text    NOT NULL,
    origin_key   bigint  NOT NULL,
    class_name   text    NOT NULL,
    learner      text    NOT NULL,
    subject_file text    NOT NULL,
    phrase_no    bigint  NOT NULL,
    activity     text,
    utc_time     text    NOT NULL,
    grade        integer NOT NULL CHECK (grade BETWEEN 1 AND 4),
    received     timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (origin, origin_key)
);
CREATE INDEX parlanto_phrase_results_learner ON parlanto_phrase_results (class_name, learner);
CREATE INDEX parlanto_scores_class ON parlanto_scores (class_name);

ALTER TABLE parlanto_scores ENABLE ROW LEVEL SECURITY;
ALTER TABLE parlanto_phrase_results ENABLE ROW LEVEL SECURITY;

CREATE POLICY own_class_reads ON parlanto_scores FOR SELECT TO parlanto_learners
    USING (class_name IN (SELECT c.class_name FROM parlanto_classes c WHERE c.role_name = current_user));
CREATE POLICY own_class_adds ON parlanto_scores FOR INSERT TO parlanto_learners
    WITH CHECK (class_name IN (SELECT c.class_name FROM parlanto_classes c WHERE c.role_name = current_user));
CREATE POLICY own_class_reads ON parlanto_phrase_results FOR SELECT TO parlanto_learners
    USING (class_name IN (SELECT c.class_name FROM parlanto_classes c WHERE c.role_name = current_user));
CREATE POLICY own_class_adds ON parlanto_phrase_results FOR INSERT TO parlanto_learners
    WITH CHECK (class_name IN (SELECT c.class_name FROM parlanto_classes c WHERE c.role_name = current_user));

-- Adding and reading only: no UPDATE, DELETE or TRUNCATE is granted.
REVOKE ALL ON parlanto_classes, parlanto_scores, parlanto_phrase_results FROM PUBLIC;
GRANT SELECT ON parlanto_classes TO parlanto_learners;
GRANT SELECT, INSERT ON parlanto_scores, parlanto_phrase_results TO parlanto_learners;

COMMIT;

-- Per class (here the class "4B" with the login role class_4b; choose your own password):
--   CREATE ROLE class_4b LOGIN PASSWORD 'a long password' IN ROLE parlanto_learners;
--   INSERT INTO parlanto_classes (class_name, role_name) VALUES ('4B', 'class_4b');
